// vsthost edit and vsthost screenshot as a user runs them, on our test plug-in and on a
// third-party plug-in from Debian (dpf-plugins-vst: used only as a subject to host).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/lib/KVX_HostEditor.h"
#include "support/KVX_ChildProcess.h"
#include "support/KVX_TestHost.h"
#include "support/KVX_X11TestDisplay.h"

using namespace kvx;
using namespace kvx::test;

namespace {

const std::string CHost = KVX_BUILD_DIR "/vsthost";
const std::string CThirdParty = "/usr/lib/vst/3BandEQ-vst.so";

TChildResult Host(std::vector<std::string> Args) {
  Args.insert(Args.begin(), CHost);
  return RunChild(Args);
}

std::string TempPng(const char* Name) {
  return (std::filesystem::temp_directory_path() / (std::string("kvx_x11_") + std::to_string(getpid()) + Name)).string();
}

}  // namespace

TEST(VsthostEditor, UsageMistakes) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"screenshot"}, "screenshot needs a PLUGIN"},
      {{"screenshot", CThirdParty}, "screenshot needs -o FILE.png"},
      {{"screenshot", CThirdParty, "-o", "x.png", "--click", "10"}, "--click takes X,Y"},
      {{"screenshot", CThirdParty, "-o", "x.png", "--click", "-1,5"}, "--click takes X,Y"},
      {{"screenshot", CThirdParty, "-o", "x.png", "--after-ms", "soon"}, "--after-ms takes a number"},
      {{"edit", CThirdParty, "--seconds"}, "--seconds needs a value"},
      {{"edit", CThirdParty, "--frobnicate"}, "edit takes no option '--frobnicate'"},
  };
  for (const auto& [args, message] : cases) {
    const TChildResult r = Host(args);
    EXPECT_EQ(r.ExitCode, 2) << args.back();
    EXPECT_NE(r.Stderr.find(message), std::string::npos) << r.Stderr;
  }
}

TEST(VsthostEditor, ScreenshotOfAThirdPartyEditorStartsItsOwnServer) {
  if (!std::filesystem::exists(CThirdParty)) GTEST_SKIP() << "dpf-plugins-vst is not installed";
  const std::string out = TempPng("_thirdparty.png");
  TChildResult r;
  {
    TScopedEnv NoDisplay("DISPLAY", nullptr);
    r = Host({"screenshot", CThirdParty, "-o", out});
  }
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("on Xvfb"), std::string::npos) << r.Stdout;
  int32_t w = 0, h = 0;
  const std::vector<uint32_t> px = LoadArgbPng(out, w, h);
  std::filesystem::remove(out);
  // The editor's own size, and a picture rather than an empty window.
  EXPECT_EQ(w, 392);
  EXPECT_EQ(h, 372);
  std::set<uint32_t> colours(px.begin(), px.end());
  EXPECT_GT(colours.size(), 500u);
}

TEST(VsthostEditor, EditPrintsTheChangesAThirdPartyEditorSends) {
  if (!std::filesystem::exists(CThirdParty)) GTEST_SKIP() << "dpf-plugins-vst is not installed";
  ASSERT_TRUE(RequireX11Display());
  // A click on the Low slider's track.
  const TChildResult r = Host({"edit", CThirdParty, "--click", "80,200", "--seconds", "0.5"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("automate   0 Low"), std::string::npos) << r.Stdout;
}
