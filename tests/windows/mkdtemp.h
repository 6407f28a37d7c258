// mkdtemp for the Windows test build. The shared test support makes its
// scratch folders with this POSIX call, which the Windows C runtime lacks;
// the build forces this declaration into that one file.
#ifndef QUORLIX_TESTS_WINDOWS_MKDTEMP_H_
#define QUORLIX_TESTS_WINDOWS_MKDTEMP_H_

extern "C" char* mkdtemp(char* pattern);

#endif  // QUORLIX_TESTS_WINDOWS_MKDTEMP_H_
