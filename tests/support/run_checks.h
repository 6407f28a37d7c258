// What every failed run must leave: one failure text as the last line of the
// error stream (any lines before it are warnings), exit status 1, and the
// folder exactly as it was, contents included.
#ifndef QUORLIX_TESTS_SUPPORT_RUN_CHECKS_H_
#define QUORLIX_TESTS_SUPPORT_RUN_CHECKS_H_

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/tool_runner.h"

namespace quorlix::testing {

// Name of each entry directly inside a folder, with a regular file's bytes,
// a symbolic link's target, or a mark for anything else.
using FolderContents = std::map<std::string, std::string>;
FolderContents Snapshot(const std::string& folder);

// text with every character that means something to std::regex escaped.
std::string RegexQuoted(const std::string& text);

// Exit status 1 and an error stream of warning lines ("Warning: ...") followed
// by exactly one line that matches lastLinePattern.
::testing::AssertionResult FailedWithOneText(const ToolResult& result,
                                             const std::string& lastLinePattern);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_RUN_CHECKS_H_
