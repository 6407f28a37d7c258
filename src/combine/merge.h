// The two combining stages of a run. Stage one XORs the raw files, in capture
// order, into one running block and writes it out as a mid file after every
// inputFiles of them; the block is never cleared, so the k-th mid file holds
// the first k x inputFiles captures. Stage two folds the mid files with the
// rotating XOR into the output file, which is kept.
#ifndef QUORLIX_COMBINE_MERGE_H_
#define QUORLIX_COMBINE_MERGE_H_

#include "driver/block.h"

namespace quorlix {

struct RunPlan;
struct RunResources;

// Writes plan.midFiles listed "mid" files; returns the running block.
Block MergeInputFiles(const RunPlan& plan, RunResources& resources);

// Takes over the running block, writes the "dat" output file, prints its
// name and returns the result block.
Block MergeMidFiles(const RunPlan& plan, RunResources& resources, Block runningBlock);

}  // namespace quorlix

#endif  // QUORLIX_COMBINE_MERGE_H_
