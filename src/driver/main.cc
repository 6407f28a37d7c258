// QUORLIX path inputFiles midFiles seconds [/LIST]
//
// Records inputFiles x midFiles captures of the sound card's input noise,
// keeps one bit per sample and combines the captures into one file of random
// bytes in path.
#include <iostream>

#include "capture/sound_capture.h"
#include "driver/run.h"
#include "platform/interrupt.h"
#include "platform/program_text.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  quorlix::UseUtf8Text(argc, argv);
  quorlix::InstallInterruptHandler();
  std::ostream* terminal = quorlix::StandardOutputIsTerminal() ? &std::cout : nullptr;
  return quorlix::RunQuorlix(argc, argv, quorlix::PlatformCaptureBackend(), terminal);
}
