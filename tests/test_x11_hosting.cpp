// Editor hosting when the host calls back into us from inside our own calls: a window the host
// closes from inside a call that is still using it is freed only once that call has unwound.
#include <gtest/gtest.h>

#include "platform/KVX_EditorCallScope.h"
#include "support/KVX_TestHost.h"
#include "support/KVX_TestModules.h"

using namespace kvx;
using namespace kvx::test;

namespace {

class HostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Effect = CreateTestModule();
    ASSERT_NE(Effect, nullptr);
    Module = TestModuleOf(Effect);
    ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
    ASSERT_EQ(TTestWindow::Alive, 1);
  }
  void TearDown() override {
    if (Effect != nullptr) Dispatch(Effect, effClose);
    EXPECT_EQ(TTestWindow::Alive, 0);
  }
  TTestHost Host;
  PVSTEffect Effect = nullptr;
  TTestModule* Module = nullptr;
  int Parent = 0;
};

}  // namespace

TEST_F(HostingTest, CloseFromInsideADispatchWaitsForItToUnwind) {
  int AliveInside = -1;
  Module->OnEditIdle = [&](TBasicVSTModule*) {
    // The host answers a change with effEditClose before our idle call has returned.
    Dispatch(Effect, effEditClose);
    AliveInside = TTestWindow::Alive;
    EXPECT_EQ(Module->EditorForm(), nullptr);
  };
  Module->EditorPostUpdate();
  Dispatch(Effect, effEditIdle);
  EXPECT_EQ(AliveInside, 1);
  EXPECT_EQ(TTestWindow::Alive, 0);
}

TEST_F(HostingTest, CloseFromInsideAPumpWaitsForThePump) {
  {
    // A pump that _XEventProc started: no dispatcher call of ours is below it.
    TEditorCallScope Pump;
    Dispatch(Effect, effEditClose);
    EXPECT_EQ(TTestWindow::Alive, 1);
    EXPECT_EQ(Module->EditorForm(), nullptr);
    // A nested idle or a second close finds no window and does nothing.
    Dispatch(Effect, effEditIdle);
    Dispatch(Effect, effEditClose);
  }
  EXPECT_EQ(TTestWindow::Alive, 0);
}

TEST_F(HostingTest, CloseOnItsOwnFreesAtOnce) {
  Dispatch(Effect, effEditClose);
  EXPECT_EQ(TTestWindow::Alive, 0);
}

TEST_F(HostingTest, ClosingThePluginWithTheEditorOpenFreesIt) {
  Dispatch(Effect, effClose);
  Effect = nullptr;
  EXPECT_EQ(TTestWindow::Alive, 0);
}
