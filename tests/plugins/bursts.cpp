// Broken on purpose: a smoother whose state keeps the scale of its old coefficient, so switching
// Mode while audio runs sends a burst far above the signal.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.Bursts = true)
