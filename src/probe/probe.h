// quorlix-probe from the command line to the exit status: gathers the
// noise, works out the findings, prints the report and catches every
// failure in one place, as quorlix does.
#ifndef QUORLIX_PROBE_PROBE_H_
#define QUORLIX_PROBE_PROBE_H_

namespace quorlix {

// 0 when the input is fit to use (or for --help and --version), 1 otherwise.
int RunProbe(int argc, const char* const* argv);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_H_
