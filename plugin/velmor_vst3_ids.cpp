// Velmor's VST 3 class id and sub-categories. Hosts keep the id in every
// project and plug-in cache: it must never change. Written as the four words
// ids are printed as; the bytes follow each platform's order.
#include "vst3/velmor_vst3_ids.h"

const vst3::Uid kVelmorVst3ClassId = vst3::MakeUid(0x56334F72, 0x76616E65, 0xA4C1D2E3, 0x5112F08D);
const char kVelmorVst3SubCategories[] = "Fx|Dynamics";
