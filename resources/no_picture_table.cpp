// The picture table of a Windows plug-in module: its pictures are module
// resources of type "PNG", found through the module handle, so the module
// carries no second copy of them. Only an editor linked into an executable
// (which has no resources of ours) asks the table, and that links the real
// one.
#include "plugin/velmor_pictures.h"

bool FindVelmorResource(int, IResourceBytes*) { return false; }
