// Trace hook called by traced operations of the base with their qualified
// name ("IEffectBase::SerializeParams") and a printf-style format. Release
// builds do nothing with it; tests may install a hook to observe calls.
#pragma once

#include <cstdarg>

using TraceHook = void (*)(const char* qualifiedName, const char* format, va_list args);

// Installs a hook (null removes it). Not thread-safe: set it before any
// instance exists.
void SetTraceHook(TraceHook hook);

void Trace(const char* qualifiedName, const char* format, ...);
