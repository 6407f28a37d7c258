// Folder snapshots and the check of a failed run's error stream.
#include "support/run_checks.h"

#include <filesystem>
#include <regex>
#include <sstream>

#include "support/temp_dir.h"

namespace quorlix::testing {

FolderContents Snapshot(const std::string& folder) {
  FolderContents contents;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_symlink()) {
      contents[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      const std::vector<std::uint8_t> bytes = ReadWholeFile(entry.path().string());
      contents[name] = std::string(bytes.begin(), bytes.end());
    } else {
      contents[name] = "not a plain file";
    }
  }
  return contents;
}

std::string RegexQuoted(const std::string& text) {
  static const std::string special = "\\^$.|?*+()[]{}";
  std::string quoted;
  for (char c : text) {
    if (special.find(c) != std::string::npos) quoted += '\\';
    quoted += c;
  }
  return quoted;
}

::testing::AssertionResult FailedWithOneText(const ToolResult& result,
                                             const std::string& lastLinePattern) {
  std::ostringstream problems;
  if (result.killedBySignal != 0) problems << "killed by signal " << result.killedBySignal << "; ";
  if (result.exitStatus != 1) problems << "exit status " << result.exitStatus << "; ";
  if (result.err.empty() || result.err.back() != '\n') {
    problems << "error stream does not end a line; ";
  } else {
    const std::size_t lastStart = result.err.rfind('\n', result.err.size() - 2);
    const std::size_t split = lastStart == std::string::npos ? 0 : lastStart + 1;
    std::istringstream before(result.err.substr(0, split));
    for (std::string line; std::getline(before, line);) {
      if (!line.starts_with("Warning: ")) problems << "more than one failure text; ";
    }
    const std::string last = result.err.substr(split, result.err.size() - split - 1);
    if (!std::regex_match(last, std::regex(lastLinePattern))) {
      problems << "last line does not match " << lastLinePattern << "; ";
    }
  }
  if (problems.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << problems.str() << "error stream:\n" << result.err;
}

}  // namespace quorlix::testing
