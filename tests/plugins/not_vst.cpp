// A shared library that is not a VST 2.4 plug-in: it has no entry the host could call.
extern "C" __attribute__((visibility("default"))) int kvx_not_a_plugin() { return 42; }
