// The probe's report: four sections as plain text for a person, or the same
// facts as one JSON object for a script (keys in quorlix-probe(1)).
#ifndef QUORLIX_PROBE_PROBE_REPORT_H_
#define QUORLIX_PROBE_PROBE_REPORT_H_

#include <ostream>
#include <string>

#include "probe/probe_findings.h"

namespace quorlix {

// Ends with the verdict line: fit, or unfit and why.
void PrintTextReport(const ProbeFindings& findings, std::ostream& out);

void PrintJsonReport(const ProbeFindings& findings, std::ostream& out);

// text as a JSON string, quotes included. File and device names are the
// only texts from outside; everything else is ours.
std::string JsonString(const char* text);

// Why an input that failed the health tests is unfit, in one line.
const char* UnfitLine();

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_REPORT_H_
