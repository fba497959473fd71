// Broken on purpose: every instance leaks 256 KiB.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.Leaks = true)
