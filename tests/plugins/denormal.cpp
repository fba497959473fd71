// Broken on purpose: a feedback path that decays through denormal numbers in silence.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.Denormals = true)
