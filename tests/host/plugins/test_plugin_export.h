// Export of a test plug-in's entry point, on both platforms.
#pragma once

#if defined(_WIN32)
#define HOST_TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define HOST_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif
