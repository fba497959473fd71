// What the platform this build runs on offers the rest of the system.
#pragma once

namespace kvx {

// Whether this build can show the editor inside a host's window. A build without a native
// window backend declares no editor to the host, so that no host offers an editor that cannot
// open.
bool NativeEditorAvailable();

// Makes the native window backend the one forms open on (the plug-in's entry calls this before
// the host can ask for an editor); without one, nothing changes.
void UseNativeWindowBackend();

}  // namespace kvx
