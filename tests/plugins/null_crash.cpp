// Broken on purpose: writes a parameter name through the host's pointer without checking it, so
// effGetParamName with a null pointer crashes.
#include "KVX_TestPlugin.h"

KVX_TEST_PLUGIN(.NullCrash = true)
