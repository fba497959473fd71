// Runs a program as a child process and collects its output, for tests of command-line tools.
#pragma once

#include <string>
#include <vector>

namespace kvx::test {

struct TChildResult {
  int ExitCode = -1;  // the exit status, or 128 + signal number when a signal ended it
  std::string Stdout;
  std::string Stderr;
};

// Runs Arguments[0] with the arguments that follow, stdin closed, and waits for it.
TChildResult RunChild(const std::vector<std::string>& Arguments);

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& Text);

}  // namespace kvx::test
