// The top-level window that the plug-in's editor hosting embeds in the host's window: a form
// of the window-system layer. The name stays for the hosting code, which needs only the
// form's window operations (parent window, visibility, border style, bounds, invalidation).
#pragma once

#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"

namespace kvx {

using TTopLevelWindow = TCustomForm;

}  // namespace kvx
