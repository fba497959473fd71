// Linux: the editor lives in an X11 window.
#include "platform/KVX_System.h"

namespace kvx {

bool NativeEditorAvailable() { return true; }

}  // namespace kvx
