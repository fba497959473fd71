// The start of every program of ours on Windows, in front of its own main (linked with
// --wrap=main). It hands main its arguments in UTF-8 and writes its output with plain line
// ends, as on Linux, and when the program was
// started as a validator's child it runs that one check instead and ends.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "host/lib/KVX_HostChild_Win32.h"
#include "host/lib/KVX_HostSystem.h"

extern "C" int __real_main(int argc, char** argv);

namespace {

// A crash in the plug-in ends the child at once with the exception's code, which the parent
// reports: no crash dialog, no debugger.
LONG WINAPI EndWithException(EXCEPTION_POINTERS* Info) {
  TerminateProcess(GetCurrentProcess(), Info && Info->ExceptionRecord ? Info->ExceptionRecord->ExceptionCode : 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Runs the check named by Task and ends the process; answers only when Task is malformed.
void RunChildTask(const std::wstring& Task) {
  const size_t first = Task.find(L'|');
  const size_t second = first == std::wstring::npos ? first : Task.find(L'|', first + 1);
  if (second == std::wstring::npos) return;
  const size_t index = static_cast<size_t>(std::wcstoull(Task.substr(0, first).c_str(), nullptr, 10));
  const uintptr_t handle = static_cast<uintptr_t>(std::wcstoull(Task.substr(first + 1, second - first - 1).c_str(), nullptr, 10));
  const std::string file = kvx::Utf8FromWide(Task.c_str() + second + 1);

  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndWithException);

  const int fd = _open_osfhandle(static_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) _exit(2);
  kvx::RunCheckAsChild(index, file, fd);
  _close(fd);
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace

extern "C" int __wrap_main(int argc, char** argv) {
  wchar_t task[4096];
  const DWORD length = GetEnvironmentVariableW(kvx::CChildTaskVariable, task, static_cast<DWORD>(std::size(task)));
  if (length > 0 && length < std::size(task)) {
    // Nothing this child starts is a child of the validator.
    SetEnvironmentVariableW(kvx::CChildTaskVariable, nullptr);
    RunChildTask(task);
  }

  // The arguments as the system has them (UTF-16), handed on in UTF-8.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return __real_main(argc, argv);
  static std::vector<std::string> arguments;
  static std::vector<char*> pointers;
  for (int i = 0; i < count; ++i) arguments.push_back(kvx::Utf8FromWide(wide[i]));
  LocalFree(wide);
  for (std::string& a : arguments) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  SetConsoleOutputCP(CP_UTF8);
  // Lines end in "\n" as on Linux, so output files and pipes read the same on both systems.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return __real_main(count, pointers.data());
}
