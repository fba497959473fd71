// A correct plug-in: gain, mix and mode, bypass, chunks, both precisions.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN()
