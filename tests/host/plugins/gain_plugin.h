// Requests the tests send to the gain test plug-in through effVendorSpecific
// (index below), to see the host from the plug-in's side.
#pragma once

enum : int {
    kGainQueryHost = 0x48510001,       // value = audioMaster opcode, ptr passed on; answers the host's answer
    kGainContractErrors = 0x48510002,  // answers how many host-contract violations the plug-in saw
    kGainPrecision = 0x48510003,       // answers the last effSetProcessPrecision value + 1 (0: never sent)
    kGainFloatBlocks = 0x48510004,     // answers the number of single-precision blocks processed
    kGainDoubleBlocks = 0x48510005,    // answers the number of double-precision blocks processed
};

// Latency the stereo variant announces and applies.
constexpr int kGainStereoLatency = 3;
// Latency the late variant applies from the start but announces (with
// audioMasterIOChanged) only during its first block: longer than a block of
// the tests, so that compensation spans blocks.
constexpr int kLateLatency = 100;
// Latency the falling variant announces at first, and then during its
// second block; it delays by the second.
constexpr int kFallingLatencyFrom = 200;
constexpr int kFallingLatencyTo = 50;
// Inputs and outputs of the wide variant.
constexpr int kWideChannels = 98;
