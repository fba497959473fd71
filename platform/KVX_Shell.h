// The desktop shell's "open" of an address, started without a shell in between and without
// handing over the host's descriptors; openers are reaped without ever blocking.
#pragma once

#include <string>

namespace kvx {

// Starts the opener for Address; answers false when it could not be started. The result of
// the opener itself is ignored.
bool ShellOpen(const std::string& Address);
// Reaps openers that have finished (never waits). The forms call this at each pump.
void ReapShellChildren();
// Openers started and not yet reaped.
int ShellChildrenPending();
// The program run by ShellOpen ("xdg-open" on Linux; on Windows the shell itself opens the
// address unless a program is set); tests substitute a harmless one.
void SetShellOpenProgram(const std::string& Program);

}  // namespace kvx
