// Linux: the editor lives in an X11 window.
#include "platform/KVX_System.h"

#include "platform/KVX_X11Backend.h"

namespace kvx {

bool NativeEditorAvailable() { return true; }

void UseNativeWindowBackend() { UseX11WindowBackend(); }

}  // namespace kvx
