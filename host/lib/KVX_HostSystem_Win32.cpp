// The host's operating-system services on Windows. File names arrive as UTF-8 and go to the
// system as UTF-16. A check runs in a fresh copy of the running program, started with
// CreateProcessW: Windows cannot fork, so the child is told which check to run through its
// environment and takes it before the program's own main (KVX_HostChild_Win32.cpp).
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "host/lib/KVX_HostChild_Win32.h"
#include "host/lib/KVX_HostSystem.h"
#include "platform/KVX_WideText_Win32.h"

namespace kvx {

namespace {

// The system's text for an error code, on one line.
std::string SystemMessage(DWORD Code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, Code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n ? Utf8FromWide(buffer) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(Code);
  return text;
}

}  // namespace

void* LoadPluginLibrary(const std::string& FileName, std::string& Reason) {
  // A name without a folder would be searched for along the DLL path; a host loads the file it
  // is given. The library's own folder is searched for what it imports.
  std::wstring path = WideFromUtf8(FileName);
  if (path.find_first_of(L"/\\:") == std::wstring::npos) path = L".\\" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  // No "cannot load" message boxes: the host reports the failure itself.
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD error = GetLastError();
  SetErrorMode(mode);
  if (!library) Reason = SystemMessage(error);
  return reinterpret_cast<void*>(library);
}

void* PluginLibrarySymbol(void* Library, const char* Name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Library), Name));
}

void UnloadPluginLibrary(void* Library) { FreeLibrary(static_cast<HMODULE>(Library)); }

// The new file takes the permissions of its folder, as every new file on Windows does; Like has
// no mode to lend.
int CreateUniqueFile(std::string& Path, const std::string& /*Like*/, std::string& Reason) {
  if (Path.size() < 6) {
    Reason = "bad file name pattern";
    return -1;
  }
  static const char CLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::mt19937 random(device() ^ static_cast<unsigned>(GetCurrentProcessId()) ^
                      static_cast<unsigned>(GetTickCount()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = Path.size() - 6; i < Path.size(); ++i) Path[i] = CLetters[random() % 36];
    const int fd = _wopen(WideFromUtf8(Path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      Reason = std::strerror(errno);
      return -1;
    }
  }
  Reason = "no unused file name";
  return -1;
}

int OpenFileForReading(const std::string& FileName, std::string& Reason) {
  const int fd = _wopen(WideFromUtf8(FileName).c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) Reason = std::strerror(errno);
  return fd;
}

void CloseFileDescriptor(int Descriptor) { _close(Descriptor); }

bool RenameReplacing(const std::string& From, const std::string& To, std::string& Reason) {
  if (MoveFileExW(WideFromUtf8(From).c_str(), WideFromUtf8(To).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  Reason = SystemMessage(GetLastError());
  return false;
}

size_t HeapInUse() {
  // The C runtime's heap, which the plug-in shares: it links the same system C runtime.
  size_t used = 0;
  _HEAPINFO entry{};
  entry._pentry = nullptr;
  while (_heapwalk(&entry) == _HEAPOK)
    if (entry._useflag == _USEDENTRY) used += entry._size;
  return used;
}

namespace {

// The names of the exceptions a crashing plug-in ends with most often.
std::string ExceptionName(DWORD Code) {
  switch (Code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW: return "floating-point exception";
    case 0xC0000409: return "stack buffer overrun";
    case 0xC0000374: return "heap corruption";
    default: return "?";
  }
}

struct THandle {
  HANDLE H = nullptr;
  ~THandle() {
    if (H && H != INVALID_HANDLE_VALUE) CloseHandle(H);
  }
};

}  // namespace

TChildOutcome RunCheckInChild(size_t CheckIndex, const std::string& FileName, double TimeoutSeconds, bool Verbose) {
  TChildOutcome outcome;
  wchar_t program[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, program, static_cast<DWORD>(std::size(program)));
  if (length == 0 || length >= std::size(program)) {
    outcome.Error = "cannot find the running program";
    return outcome;
  }

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  THandle readEnd, writeEnd, null;
  if (!CreatePipe(&readEnd.H, &writeEnd.H, &inherit, 0) ||
      !SetHandleInformation(readEnd.H, HANDLE_FLAG_INHERIT, 0)) {
    outcome.Error = "cannot create a pipe";
    return outcome;
  }
  if (!Verbose)
    null.H = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

  // Only the report pipe and the standard handles go to the child.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = Verbose ? GetStdHandle(STD_OUTPUT_HANDLE) : null.H;
  startup.hStdError = Verbose ? GetStdHandle(STD_ERROR_HANDLE) : null.H;

  // The child reads its task from the environment it inherits.
  const std::wstring task = std::to_wstring(CheckIndex) + L"|" +
                            std::to_wstring(reinterpret_cast<uintptr_t>(writeEnd.H)) + L"|" + WideFromUtf8(FileName);
  SetEnvironmentVariableW(CChildTaskVariable, task.c_str());
  std::wstring commandLine = QuoteArgument(program);
  std::fflush(nullptr);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process);
  const DWORD startError = GetLastError();
  SetEnvironmentVariableW(CChildTaskVariable, nullptr);
  if (!started) {
    outcome.Error = "cannot start a child process: " + SystemMessage(startError);
    return outcome;
  }
  THandle processHandle{process.hProcess}, threadHandle{process.hThread};
  // The child holds its own copy of the write end: the pipe ends when the child does.
  CloseHandle(writeEnd.H);
  writeEnd.H = nullptr;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(TimeoutSeconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      outcome.TimedOut = true;
      break;
    }
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd.H, nullptr, 0, nullptr, &available, nullptr)) break;  // the child has ended
    if (available == 0) {
      // Nothing to read: wait a little for the child to end or write.
      if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
        // Drain what it wrote last, then stop.
        if (!PeekNamedPipe(readEnd.H, nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
      } else {
        continue;
      }
    }
    char chunk[4096];
    DWORD n = 0;
    if (!ReadFile(readEnd.H, chunk, std::min<DWORD>(available, sizeof chunk), &n, nullptr) || n == 0) break;
    outcome.Report.append(chunk, n);
  }
  if (outcome.TimedOut) TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  if (outcome.TimedOut) return outcome;
  // Exit codes with the error severity bits are the status of an exception that ended the
  // process; the C runtime's abort ends it with 3.
  if ((code & 0xF0000000u) == 0xC0000000u) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    outcome.Crash = "exception " + std::string(hex) + " (" + ExceptionName(code) + ")";
  } else {
    outcome.ExitCode = static_cast<int>(code);
  }
  return outcome;
}

}  // namespace kvx
