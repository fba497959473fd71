#include "support/KVX_ChildProcess.h"

namespace kvx::test {

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find('\n', start);
    if (end == std::string::npos) end = Text.size();
    lines.push_back(Text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace kvx::test
