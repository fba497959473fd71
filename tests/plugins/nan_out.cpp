// Broken on purpose: its output turns to NaN when Gain is above 0.9.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.NanOut = true)
