// The checks a careful host vendor runs before trusting a plug-in. Each check runs in a child
// process of its own, so a plug-in that crashes or hangs is reported instead of taking the
// validator down.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvx {

enum TCheckOutcome : uint8_t { coPass, coFail, coSkip };

struct TCheckResult {
  TCheckOutcome Outcome = coPass;
  std::string Detail;
};

struct TValidateOptions {
  // A check that runs longer is killed and fails.
  double TimeoutSeconds = 120;
  // Keeps the plug-in's own messages on stderr (otherwise they are silenced).
  bool Verbose = false;
};

// The names of the checks, in the order they run.
std::vector<std::string> ValidationCheckNames();

// Runs check number Index (in the order of ValidationCheckNames), in a child process when
// Isolated is set, else in this process (a crash is then this process's).
TCheckResult RunValidationCheck(size_t Index, const std::string& FileName, bool Isolated,
                                const TValidateOptions& Options = {});

// Runs every check on the plug-in at FileName, prints one line per check ("PASS  name: detail")
// to Out and answers the number of failed checks.
int ValidatePlugin(const std::string& FileName, std::FILE* Out, const TValidateOptions& Options = {});

}  // namespace kvx
