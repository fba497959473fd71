// Windows: no native window backend yet, so the plug-in offers no editor.
#include "platform/KVX_System.h"

namespace kvx {

bool NativeEditorAvailable() { return false; }

void UseNativeWindowBackend() {}

}  // namespace kvx
