// A correct plug-in with 32 samples of latency and a tail of 1000 samples, for the host's latency
// compensation and tail handling.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.TailSamples = 1000, .Latency = 32)
