// The process-wide lock that serialises the creation of plug-in instances.
// Made on first use, exactly once even when several host threads create
// their first instances at the same time; destroyed at process exit.
#pragma once

#include "core/plugin_lock.h"

RecursiveLock& CreationLock();
