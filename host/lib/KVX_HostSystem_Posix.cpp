// The host's operating-system services on Linux.
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/lib/KVX_HostSystem.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KVX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KVX_SANITIZED 1
#endif
#endif
#ifdef KVX_SANITIZED
// The sanitizers' allocator statistics (their interface header does not come with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace kvx {

void* LoadPluginLibrary(const std::string& FileName, std::string& Reason) {
  // dlopen looks a name without a slash up in the library path; a host loads the file it is given.
  std::string path = FileName;
  if (path.find('/') == std::string::npos) path = "./" + path;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    Reason = why ? why : "unknown reason";
  }
  return library;
}

void* PluginLibrarySymbol(void* Library, const char* Name) { return dlsym(Library, Name); }

void UnloadPluginLibrary(void* Library) { dlclose(Library); }

int CreateUniqueFile(std::string& Path, const std::string& Like, std::string& Reason) {
  const int fd = mkstemp(Path.data());
  if (fd < 0) {
    Reason = std::strerror(errno);
    return -1;
  }
  // mkstemp creates the file private: the file it replaces lends its mode, a new one gets the
  // permissions a plain create would.
  struct stat existing {};
  if (!Like.empty() && stat(Like.c_str(), &existing) == 0) {
    fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  return fd;
}

int OpenFileForReading(const std::string& FileName, std::string& Reason) {
  const int fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Reason = std::strerror(errno);
  return fd;
}

void CloseFileDescriptor(int Descriptor) { close(Descriptor); }

bool RenameReplacing(const std::string& From, const std::string& To, std::string& Reason) {
  if (std::rename(From.c_str(), To.c_str()) == 0) return true;
  Reason = std::strerror(errno);
  return false;
}

size_t HeapInUse() {
#ifdef KVX_SANITIZED
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

namespace {

std::string SignalName(int Signal) {
  const char* text = strsignal(Signal);
  return "signal " + std::to_string(Signal) + " (" + (text ? text : "?") + ")";
}

}  // namespace

TChildOutcome RunCheckInChild(size_t CheckIndex, const std::string& FileName, double TimeoutSeconds, bool Verbose) {
  TChildOutcome outcome;
  int fds[2];
  if (pipe(fds) != 0) {
    outcome.Error = "cannot create a pipe";
    return outcome;
  }
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    outcome.Error = "cannot fork";
    return outcome;
  }
  if (pid == 0) {
    close(fds[0]);
    if (!Verbose) {
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        close(null);
      }
    }
#ifndef KVX_SANITIZED
    // A plug-in that asks for absurd amounts of memory fails its check instead of the machine.
    const rlim_t limit = rlim_t{8} << 30;
    struct rlimit rl{limit, limit};
    setrlimit(RLIMIT_AS, &rl);
#endif
    RunCheckAsChild(CheckIndex, FileName, fds[1]);
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(TimeoutSeconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      outcome.TimedOut = true;
      break;
    }
    pollfd pfd{fds[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char chunk[4096];
    const ssize_t n = read(fds[0], chunk, sizeof chunk);
    if (n <= 0) break;
    outcome.Report.append(chunk, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (outcome.TimedOut) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status) && !outcome.TimedOut) outcome.Crash = SignalName(WTERMSIG(status));
  else if (WIFEXITED(status)) outcome.ExitCode = WEXITSTATUS(status);
  return outcome;
}

}  // namespace kvx
