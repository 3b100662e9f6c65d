// A shared library that exports no VST entry point.
#include "tests/host/plugins/test_plugin_export.h"

HOST_TEST_EXPORT int HostTestNotAPlugin() { return 42; }
