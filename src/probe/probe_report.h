// The probe's report: four sections as plain text for a person, or the same
// facts as one JSON object for a script (keys in quorlix-probe(1)).
#ifndef QUORLIX_PROBE_PROBE_REPORT_H_
#define QUORLIX_PROBE_PROBE_REPORT_H_

#include <ostream>
#include <string>

#include "probe/probe_findings.h"

namespace quorlix {

// Ends with the verdict line.
void PrintTextReport(const ProbeFindings& findings, std::ostream& out);

void PrintJsonReport(const ProbeFindings& findings, std::ostream& out);

// text as a JSON string, quotes included. File and device names are the
// only texts from outside: a byte of them that is not part of well-formed
// UTF-8 becomes U+FFFD, so that every JSON reader takes the string.
std::string JsonString(const char* text);

// The last line of the text report: fit, or unfit and the first reason why.
std::string VerdictLine(const ProbeFindings& findings);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_REPORT_H_
