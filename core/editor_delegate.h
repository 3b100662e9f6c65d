// What the editor may ask of the plug-in: the one narrow interface between
// the editor's controls and the plug-in behind them. The editor never sees
// a format adapter; each format reaches the host through the base.
//
// Threads: the editor's window thread. The gesture calls take no lock;
// SetParameterFromEditor and the value reads take the plug-in lock briefly;
// ReadMeter reads atomics only, so a repaint never waits for the audio
// thread and the audio thread never waits for a repaint.
#pragma once

// One needle meter as the audio thread last left it.
struct IMeterReading {
    double level = 0.0;   // the needle's value (1.0 is the 0 mark)
    bool powerOn = true;  // the "Power" switch as the chain runs it
    int mode = 0;         // the "Mode" value, 0..4
};

class IEditorDelegate {
public:
    // A drag (or click) on a control bound to index starts and ends.
    virtual void BeginEditGesture(int index) = 0;
    virtual void EndEditGesture(int index) = 0;
    // The user moved a control bound to index to normalized (0..1).
    virtual void SetParameterFromEditor(int index, double normalized) = 0;
    // The parameter's current value, normalised; 0 for an invalid index.
    virtual double ParameterNormalized(int index) const = 0;
    // value (in the parameter's own units) clamped into its range and
    // normalised; 0 for an invalid index.
    virtual double NormalizeParameterValue(int index, double value) const = 0;
    // Meter number meter (0, 1, ...); false when the plug-in has none.
    virtual bool ReadMeter(int meter, IMeterReading* out) const = 0;
    // The editor's window took a new size of its own accord (the screen's
    // pixel density changed under it): the host is told.
    virtual void OnEditorScaleChanged() {}

protected:
    ~IEditorDelegate() = default;
};
