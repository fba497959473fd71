// Linux: xdg-open through posix_spawnp.
#include "platform/KVX_Shell.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

extern char** environ;

namespace kvx {

namespace {

std::string& OpenProgram() {
  static std::string Program = "xdg-open";
  return Program;
}

// Openers still running. xdg-open may keep the browser in its foreground, so nobody waits.
std::vector<pid_t>& Children() {
  static std::vector<pid_t> List;
  return List;
}

}  // namespace

void SetShellOpenProgram(const std::string& Program) {
  OpenProgram() = Program.empty() ? "xdg-open" : Program;
}

bool ShellOpen(const std::string& Address) {
  if (Address.empty()) return false;
  posix_spawn_file_actions_t Actions;
  if (posix_spawn_file_actions_init(&Actions) != 0) return false;
  // The host's descriptors (sockets, audio devices, pipes) stay with the host.
  posix_spawn_file_actions_addclosefrom_np(&Actions, 3);
  posix_spawnattr_t Attributes;
  posix_spawnattr_init(&Attributes);
  // The opener must not inherit a blocked signal mask or odd dispositions from the host.
  sigset_t Empty;
  sigemptyset(&Empty);
  posix_spawnattr_setsigmask(&Attributes, &Empty);
  sigset_t Default;
  sigemptyset(&Default);
  sigaddset(&Default, SIGPIPE);
  sigaddset(&Default, SIGCHLD);
  posix_spawnattr_setsigdefault(&Attributes, &Default);
  posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string Program = OpenProgram();
  std::string Argument = Address;
  char* Argv[] = {Program.data(), Argument.data(), nullptr};
  pid_t Pid = 0;
  const int Result = posix_spawnp(&Pid, Program.c_str(), &Actions, &Attributes, Argv, environ);
  posix_spawnattr_destroy(&Attributes);
  posix_spawn_file_actions_destroy(&Actions);
  if (Result != 0) return false;
  Children().push_back(Pid);
  return true;
}

void ReapShellChildren() {
  auto& L = Children();
  L.erase(std::remove_if(L.begin(), L.end(),
                         [](pid_t Pid) {
                           int Status = 0;
                           const pid_t R = waitpid(Pid, &Status, WNOHANG);
                           // Gone: reaped now, or reaped by someone else (the host's handler).
                           return R == Pid || (R < 0 && errno == ECHILD);
                         }),
          L.end());
}

int ShellChildrenPending() { return static_cast<int>(Children().size()); }

}  // namespace kvx
