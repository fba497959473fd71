// Windows: the shell's "open" of an address (ShellExecuteW, which hands it to the user's
// browser and returns at once). A program set by SetShellOpenProgram is started instead, with
// the address as its one argument and no handles inherited, and reaped without waiting.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "platform/KVX_Shell.h"
#include "platform/KVX_WideText_Win32.h"

namespace kvx {

namespace {

std::string& OpenProgram() {
  static std::string Program;
  return Program;
}

std::vector<HANDLE>& Children() {
  static std::vector<HANDLE> List;
  return List;
}

bool StartProgram(const std::string& Program, const std::string& Address) {
  const std::wstring Application = WideFromUtf8(Program);
  std::wstring CommandLine = QuoteArgument(Application) + L" " + QuoteArgument(WideFromUtf8(Address));
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Process{};
  if (!CreateProcessW(Application.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &Startup, &Process))
    return false;
  CloseHandle(Process.hThread);
  Children().push_back(Process.hProcess);
  return true;
}

}  // namespace

void SetShellOpenProgram(const std::string& Program) {
  // The desktop's own opener is the shell itself here.
  OpenProgram() = Program == "xdg-open" ? std::string() : Program;
}

bool ShellOpen(const std::string& Address) {
  if (Address.empty()) return false;
  if (!OpenProgram().empty()) return StartProgram(OpenProgram(), Address);
  const std::wstring Wide = WideFromUtf8(Address);
  const auto Result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", Wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // Values up to 32 are the shell's error codes.
  return Result > 32;
}

void ReapShellChildren() {
  auto& L = Children();
  L.erase(std::remove_if(L.begin(), L.end(),
                         [](HANDLE Process) {
                           if (WaitForSingleObject(Process, 0) == WAIT_TIMEOUT) return false;
                           CloseHandle(Process);
                           return true;
                         }),
          L.end());
}

int ShellChildrenPending() { return static_cast<int>(Children().size()); }

}  // namespace kvx
