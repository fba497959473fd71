// The shell opener on Linux: the address reaches the opener as one argument, without a shell in
// between, and the opener inherits none of the host's descriptors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/KVX_Shell.h"

using namespace kvx;

namespace {

// ---- the shell opener ------------------------------------------------------------------------

// Waits for the opener to finish, reaping without blocking as the pump does.
bool ReapAll() {
  for (int i = 0; i < 500 && ShellChildrenPending() > 0; ++i) {
    ReapShellChildren();
    if (ShellChildrenPending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ShellChildrenPending() == 0;
}

TEST(Shell, TheOpenerRunsWithoutAShellAndInheritsNoDescriptors) {
  char Dir[] = "/tmp/kvx_shellXXXXXX";
  ASSERT_NE(mkdtemp(Dir), nullptr);
  const std::string Script = std::string(Dir) + "/opener";
  const std::string Out = std::string(Dir) + "/out";
  {
    std::ofstream S(Script);
    S << "#!/bin/sh\nls /proc/self/fd > " << Out << "\necho \"$1\" >> " << Out << "\n";
  }
  chmod(Script.c_str(), 0700);
  // A descriptor the host might hold open without close-on-exec.
  // A descriptor number that the opener's own commands do not use.
  const int Opened = open("/dev/null", O_RDONLY);
  const int Leaky = dup2(Opened, 57);
  close(Opened);
  ASSERT_EQ(Leaky, 57);
  SetShellOpenProgram(Script);
  // An address with shell metacharacters reaches the opener as one argument.
  EXPECT_TRUE(ShellOpen("https://example.org/a b;$(x)"));
  EXPECT_TRUE(ReapAll());
  std::ifstream In(Out);
  std::stringstream Text;
  Text << In.rdbuf();
  std::vector<std::string> Lines;
  for (std::string L; std::getline(Text, L);) Lines.push_back(L);
  ASSERT_FALSE(Lines.empty());
  EXPECT_EQ(Lines.back(), "https://example.org/a b;$(x)");
  Lines.pop_back();
  for (const std::string& Fd : Lines) EXPECT_NE(Fd, std::to_string(Leaky)) << "inherited";
  close(Leaky);
  SetShellOpenProgram("/nonexistent/opener");
  EXPECT_FALSE(ShellOpen("https://example.org"));
  EXPECT_FALSE(ShellOpen(""));
  SetShellOpenProgram("");
  std::remove(Out.c_str());
  std::remove(Script.c_str());
  rmdir(Dir);
}

}  // namespace
