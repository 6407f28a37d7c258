// quorlix-probe [--json] [seconds | --pcm FILE | --bits FILE]
//               [--plan inputFiles midFiles seconds]
//
// Measures what a sound card's input noise is worth before quorlix is trusted
// with it: the samples, the noise bits, their min-entropy and the run shape
// that turns them into full-entropy output.
#include "platform/interrupt.h"
#include "platform/program_text.h"
#include "probe/probe.h"

int main(int argc, char** argv) {
  quorlix::UseUtf8Text(argc, argv);
  quorlix::InstallInterruptHandler();
  return quorlix::RunProbe(argc, argv);
}
