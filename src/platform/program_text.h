// The programs' text in UTF-8 on every platform: their arguments and what
// they print. POSIX hands both over as they are; on Windows the arguments
// are read in UTF-16 and converted, and text for a console window is written
// as UTF-16, so that a folder or file named in any script can be used and is
// shown whole, on a console and through a pipe alike. The platform's file
// services take the same UTF-8 names.
#ifndef QUORLIX_PLATFORM_PROGRAM_TEXT_H_
#define QUORLIX_PLATFORM_PROGRAM_TEXT_H_

namespace quorlix {

// Replaces argc and argv with the program's arguments in UTF-8, kept for the
// life of the process, and sets the standard output and error streams up for
// UTF-8 text. Called first thing in main.
void UseUtf8Text(int& argc, char**& argv);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_PROGRAM_TEXT_H_
