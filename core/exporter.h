// PluginExporter: the format-neutral half of every format adapter. It owns
// the plug-in and answers what every format asks the same way: the sample
// rate, block size and processing state, parameter values from the host and
// their texts, audio blocks in single or double precision, the state chunk
// (the same bytes in every format, so a state moves between them), the
// latency, and the editor's window. An adapter translates its format's calls
// into these and implements IPluginHost for the way back.
//
// Threads: every operation but the editor's takes the plug-in lock for its
// whole body, so any mix of host threads is safe. The editor's operations
// (OpenEditor, CloseEditor, IdleEditor) run on the host's UI thread without
// the lock: opening a window, decoding pictures and painting never make an
// audio callback wait. A caller that already holds the lock (a dispatcher
// that serialises its calls) must release it before calling them.
#pragma once

#include <memory>

#include "core/effect_base.h"
#include "core/state_chunk.h"

class PluginExporter {
public:
    // Takes the plug-in (which may be null: every operation then does
    // nothing and answers 0) and makes host its host. Connects every
    // channel; the block size starts at kInitialBlockSize.
    PluginExporter(std::unique_ptr<IEffectBase> plugin, IPluginHost* host);
    // Deletes the plug-in (its editor first). The lock goes with it.
    ~PluginExporter();
    PluginExporter(const PluginExporter&) = delete;
    PluginExporter& operator=(const PluginExporter&) = delete;

    IEffectBase* Plugin() const { return mPlugin.get(); }

    // The block size hosts most often use; scratch buffers exist before the
    // host announces its own, so a host that processes without one still
    // has somewhere to widen its samples into.
    static constexpr int kInitialBlockSize = 1024;

    // ---- Set-up (any host thread). ----
    // A rate that is not a positive finite number keeps the current one;
    // OnReset runs either way.
    void SetSampleRate(double rate);
    // Block sizes of 0 or less, or too large to address in bytes, keep the
    // current scratch buffers; OnReset runs either way.
    void SetBlockSize(long long frames);
    // Processing starts (true) or stops (false, which also resets).
    void SetActive(bool active);
    // Whether processing is started (false until SetActive(true)).
    bool IsActive() const;

    // ---- Parameters (any host thread). ----
    // A host's automation or restore: a NaN changes nothing; other values
    // are clamped to 0..1. The editor shows the value as the parameter
    // stored it (a switch set to 0.3 shows off). False for a bad index.
    bool SetParameterNormalized(int index, double normalized);
    // The parameter's value, normalised; 0 for a bad index.
    double ParameterNormalized(int index) const;
    // The display text of normalized (clamped) or, with a NaN, of the
    // current value, into out (outSize bytes with the terminator).
    bool FormatParameter(int index, double normalized, char* out, int outSize) const;
    // The value text reads as, in the parameter's units: a display text
    // ("on", "B") or a decimal number with "." as the point. False (value
    // untouched) for a bad index, an unknown display text or a NaN.
    bool ParseParameterText(int index, const char* text, double* value) const;
    // Sets the parameter from text as ParseParameterText reads it, clamped
    // into the range; the editor follows. False when it cannot be read.
    bool SetParameterFromText(int index, const char* text);

    // ---- Audio (the host's audio thread; some hosts use their UI thread). ----
    // Runs frames frames, starting at offset in every host buffer, in
    // slices no longer than the scratch buffers. Host pointers are taken in
    // order by connected channels only (nIn and nOut of them at most); a
    // missing host buffer reads silence and is not written. accumulate adds
    // to the single-precision outputs instead of replacing them. Nothing
    // here allocates.
    void Process(const float* const* inputs, int nIn, float* const* outputs, int nOut, int offset, int frames,
                 bool accumulate = false);
    void Process(const double* const* inputs, int nIn, double* const* outputs, int nOut, int offset, int frames);

    // ---- State (any host thread). ----
    // The program chunk: the 8-byte header, then the plug-in's SaveState.
    // False (and chunk empty) when it cannot be written.
    bool SaveProgram(IStateChunk& chunk);
    // The bank chunk: the current settings stored into the current preset
    // slot first, then the header and every slot.
    bool SaveBank(IStateChunk& chunk);
    // Loads a program or bank chunk (a chunk without the header, or a bank
    // request holding a program, loads as a program). A chunk that does not
    // hold a whole state is refused before anything is touched: false, and
    // every parameter, slot and name stays as it was.
    bool LoadChunk(const IStateChunk& chunk, bool bank);

    // ---- Latency (any thread). ----
    int Latency() const;

    // ---- Editor (the host's UI thread, without the plug-in lock). ----
    bool HasEditor() const;
    // The size its window takes at the editor's current scale.
    int EditorWidth() const;
    int EditorHeight() const;
    // The host's scale for the editor (a content scale, a UI scale factor):
    // snapped to the editor's scales (1 to 2 in quarters); from now on the
    // window system's own is not asked. Answers the scale taken; the host is
    // told of a new size (IPluginHost::EditorResized) when it changed.
    double SetEditorScale(double scale);
    // Where the host says nothing about scale: the window system's (the
    // screen's pixel density), until the host sets one. Answers the scale.
    double FollowSystemEditorScale();
    double EditorScale() const;
    // Opens the editor inside the host's parent window (an X11 window id or
    // an HWND); false when there is no editor or no window could be made.
    bool OpenEditor(void* parent);
    void CloseEditor();
    // The window system's timer work where the host drives it (X11).
    void IdleEditor();

private:
    int SliceCapacity() const;
    template <typename T, bool kAccumulate>
    void RunSlices(const T* const* inputs, int nIn, T* const* outputs, int nOut, int offset, int frames);
    // The position past a whole state of the base's own layout at position
    // (bank: every preset slot), or -1 when the chunk does not hold one.
    int StateEnd(const IStateChunk& chunk, int position) const;
    int BankEnd(const IStateChunk& chunk, int position) const;

    double ApplyEditorScale(double scale);

    std::unique_ptr<IEffectBase> mPlugin;
    bool mActive = false;              // under the plug-in lock
    bool mHostSetEditorScale = false;  // the editor's thread
};
