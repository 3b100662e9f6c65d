// A library whose entry point answers a record with the wrong magic: a
// host must refuse it without calling anything through it.
#include "tests/host/plugins/test_plugin_export.h"
#include "vst/vst2_abi.h"

namespace {
AEffect gRecord{};
}

HOST_TEST_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    gRecord.magic = VstFourCC('N', 'o', 'p', 'e');
    gRecord.numInputs = 2;
    gRecord.numOutputs = 2;
    return &gRecord;
}
