// The C side of one CLAP instance: the record's slots and the extension
// tables, static functions that find the adapter through the record and
// forward to it. Each guards against a null record and lets no exception
// unwind into the host. Threads as each slot's CLAP rule says; the adapter's
// header names them.
#pragma once

#include "clap/clap_abi.h"

class IEffectCLAP;

// Points record's slots at this file's functions, its descriptor at
// descriptor and its plugin_data at adapter.
void FillPluginRecord(clap_plugin& record, const clap_plugin_descriptor* descriptor, IEffectCLAP* adapter);

// The table the host gets for extension id, or null when Velmor has no such
// extension (here: no editor extensions where the build has no window
// system).
const void* PluginExtension(const char* id, bool hasEditor);
