// Broken on purpose: declares "bypass" and accepts effSetBypass, but keeps processing.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.IgnoresBypass = true)
