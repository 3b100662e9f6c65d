// The functions the effect record points at. Each finds its plug-in through
// the record's object field and holds the plug-in lock for its whole body.
#pragma once

#include "vst/vst2_abi.h"

// Any host thread (usually its UI thread).
VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt);

// Audio thread (some hosts use their UI thread).
void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 frames);

// Any host thread.
void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value);
float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index);
