// The desktop shell's "open" of an address: xdg-open started without a shell, with no
// descriptors inherited beyond the standard three, reaped without ever blocking.
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
// The program run by ShellOpen ("xdg-open"); tests substitute a harmless one.
void SetShellOpenProgram(const std::string& Program);

}  // namespace kvx
