#include "core/preset_slot.h"

#include "base/bounded_copy.h"

// text may be this slot's own name: the copy allows overlap.
void IPresetSlot::SetName(const char* text) { CopyBounded(name, text); }
