#include "core/trace.h"

namespace {
TraceHook gTraceHook = nullptr;
}

void SetTraceHook(TraceHook hook) { gTraceHook = hook; }

void Trace(const char* qualifiedName, const char* format, ...) {
    if (!gTraceHook) return;
    va_list args;
    va_start(args, format);
    gTraceHook(qualifiedName, format, args);
    va_end(args);
}
