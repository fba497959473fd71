// Child processes for the tests on Windows: CreateProcessW with both output pipes read by a
// thread each, so a child that fills one pipe while we wait on the other cannot stall.
#include <windows.h>

#include <string>
#include <thread>

#include "host/lib/KVX_HostChild_Win32.h"
#include "support/KVX_ChildProcess.h"

namespace kvx::test {

namespace {

void Drain(HANDLE Pipe, std::string* Sink) {
  char chunk[4096];
  DWORD n = 0;
  while (ReadFile(Pipe, chunk, sizeof chunk, &n, nullptr) && n > 0) Sink->append(chunk, n);
}

}  // namespace

TChildResult RunChild(const std::vector<std::string>& Arguments) {
  TChildResult result;
  if (Arguments.empty()) return result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
  if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    CloseHandle(outRead);
    CloseHandle(outWrite);
    return result;
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

  std::wstring commandLine;
  for (const std::string& a : Arguments) {
    std::wstring wide = WideFromUtf8(a);
    if (commandLine.empty())
      for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    if (!commandLine.empty()) commandLine.push_back(L' ');
    commandLine += QuoteArgument(wide);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  if (!started) {
    CloseHandle(outRead);
    CloseHandle(errRead);
    result.ExitCode = 127;
    return result;
  }
  std::thread errReader(Drain, errRead, &result.Stderr);
  Drain(outRead, &result.Stdout);
  errReader.join();
  CloseHandle(outRead);
  CloseHandle(errRead);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  // An exception that ended the child counts as a signal would on Linux (128 + SIGSEGV).
  result.ExitCode = (code & 0xF0000000u) == 0xC0000000u ? 128 + 11 : static_cast<int>(code);
  return result;
}

}  // namespace kvx::test
