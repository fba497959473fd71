// Shared by the editor suites: the complete plug-in module with a recording host, its editor
// opened headless, and gestures on the editor's controls through the headless backend.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/GUI.h"
#include "effect/Process.h"
#include "platform/KVX_Controls.h"
#include "platform/KVX_HeadlessBackend.h"
#include "support/KVX_TestHost.h"
#include "ub37t/KVX_Ub37t.h"

namespace kvx::test {

// The centre of a control in form client coordinates.
inline TPoint CentreOf(const TControl* C) {
  return C->ClientToParent(TPoint{C->Width() / 2, C->Height() / 2}, C->ParentForm());
}

// A point of a control (its client coordinates) in form client coordinates.
inline TPoint PointOf(const TControl* C, int32_t X, int32_t Y) {
  return C->ClientToParent(TPoint{X, Y}, C->ParentForm());
}

struct TAutomation {
  int32_t Index;
  float Value;
  bool operator==(const TAutomation&) const = default;
};

inline std::ostream& operator<<(std::ostream& S, const TAutomation& A) {
  return S << "{" << A.Index << ", " << A.Value << "}";
}

class EditorFixture : public ::testing::Test {
 protected:
  // Any non-null handle: the headless backend keeps it.
  static constexpr intptr_t CParent = 0x4711;

  void SetUp() override {
    Effect = InstantiateModule(&TTestHost::Callback, &Ub37tModuleClass);
    ASSERT_NE(Effect, nullptr);
    Module = static_cast<TProcessModule*>(Effect->User);
    Dispatch(Effect, effOpen);
    Open();
  }
  void TearDown() override {
    if (Effect != nullptr) Dispatch(Effect, effClose);
  }

  // Opening tells the host nothing: the calls are recorded from here on.
  void Open() {
    Host.Clear();
    ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, reinterpret_cast<void*>(CParent)), 1);
    Window = dynamic_cast<TWndGUI*>(Module->EditorForm());
    ASSERT_NE(Window, nullptr);
    Backend = dynamic_cast<THeadlessWindowBackend*>(Window->Backend());
    ASSERT_NE(Backend, nullptr);
    Pump();
  }
  void Close() {
    Dispatch(Effect, effEditClose);
    Window = nullptr;
    Backend = nullptr;
  }
  // One idle call of the host: the editor pumps its events, timers and paints.
  void Pump() { Dispatch(Effect, effEditIdle); }

  // ---- gestures (delivered at the next pump, then pumped) ----
  void Click(TPoint P, TMouseButton Button = mbLeft) {
    Backend->InjectMouseMove(P.X, P.Y);
    Backend->InjectMouseDown(P.X, P.Y, Button);
    Backend->InjectMouseUp(P.X, P.Y, Button);
    Pump();
  }
  void Click(const TControl* C, TMouseButton Button = mbLeft) { Click(CentreOf(C), Button); }
  void CtrlClick(const TControl* C, TMouseButton Button = mbLeft) {
    Backend->SetModifiers(TShiftState{ssCtrl});
    Click(C, Button);
    Backend->SetModifiers(TShiftState{});
  }
  // A vertical drag from the control's centre, Dy pixels down (negative: up), in steps.
  void Drag(const TControl* C, int32_t Dy, TShiftState Modifiers = {}) {
    const TPoint P = CentreOf(C);
    Backend->SetModifiers(Modifiers);
    Backend->InjectMouseMove(P.X, P.Y);
    Backend->InjectMouseDown(P.X, P.Y);
    const int32_t Steps = 4;
    for (int32_t i = 1; i <= Steps; ++i) Backend->InjectMouseMove(P.X, P.Y + Dy * i / Steps);
    Backend->InjectMouseUp(P.X, P.Y + Dy);
    Backend->SetModifiers(TShiftState{});
    Pump();
  }
  void Wheel(const TControl* C, int32_t Delta) {
    const TPoint P = CentreOf(C);
    Backend->InjectMouseMove(P.X, P.Y);
    Backend->InjectWheel(P.X, P.Y, Delta);
    Pump();
  }

  // The amAutomate calls the host received since the last Host.Clear().
  std::vector<TAutomation> Automations() const {
    std::vector<TAutomation> Result;
    for (const THostCall& C : Host.Calls())
      if (C.Opcode == amAutomate) Result.push_back({C.Index, C.opt});
    return Result;
  }
  std::vector<float> Parameters() const {
    std::vector<float> Result;
    for (int32_t i = 0; i < 10; ++i) Result.push_back(Module->GetParameter(i));
    return Result;
  }
  // The host's own change, as its UI or audio thread makes it: never told back.
  void HostSets(int32_t Index, float HostValue) { Effect->SetParameter(Effect, Index, HostValue); }

  TTestHost Host;
  PVSTEffect Effect = nullptr;
  TProcessModule* Module = nullptr;
  TWndGUI* Window = nullptr;
  THeadlessWindowBackend* Backend = nullptr;
};

}  // namespace kvx::test
