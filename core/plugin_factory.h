// The seam between every format's entry point and the plug-in the library
// holds: the plug-in library defines it, each format adapter calls it (under
// the process-wide creation lock) and wraps what it gets.
#pragma once

#include <memory>

#include "core/effect_base.h"

// Constructs one plug-in instance, its parameters declared, its editor
// attached and its preset slots filled. May throw std::bad_alloc; the
// adapter turns that into "no instance".
std::unique_ptr<IEffectBase> CreatePluginInstance();
