// One loaded plug-in as velmor-host drives it, whatever its format. Every
// command (render, info, state save, editor, --version) works through this
// interface alone; each format (VST 2.4 and VST 3 today) is one implementation of it
// in files of its own, and plugin_loader.h picks the implementation from
// what --plugin names. No format's types appear here.
//
// Threads. An instance belongs to the thread that loaded it (the main
// thread): every call comes from there, except that while an editor is open
// with audio playing (`editor --play`) one other thread calls Process*
// between Resume and Suspend, and nothing else, concurrently with the main
// thread's editor and parameter calls. An implementation makes that one mix
// safe as the format's hosts must (VST 2.4: audio and GUI threads are
// separate by design); velmor-host never calls Process* from two threads.
//
// Lifetime. Load (in the loader) leaves the instance created, initialised at
// the sample rate and maximum block size it was given, and suspended.
// Resume/Suspend bracket processing; Close (also run by the destructor)
// suspends if needed and releases the plug-in and its library.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/velmor-host/state_file.h"

// Bounds on what a plug-in may announce; anything larger is a broken
// plug-in, not one this host should size buffers for.
constexpr int kMaxPluginChannels = 256;
constexpr int kMaxPluginParameters = 100000;
constexpr int kMaxBlockSize = 1 << 20;
constexpr int kMaxPluginLatency = 1 << 24;

// Product, vendor and version that the host reports to plug-ins of every
// format (version 10203 is 1.2.3).
extern const char kHostProductString[];
extern const char kHostVendorString[];
extern const int kHostVendorVersion;

// What `info` and `--version` show of a plug-in.
struct PluginDescription {
    std::string format;    // "VST 2.4", "VST 3"
    std::string location;  // the file, bundle folder or URI that was loaded
    std::string name;      // the plug-in's own name ("(none)" when it gives none)
    std::string vendor;
    std::string version;  // as the format states it
    std::string id;       // unique id as the format's hosts show it
    // The format's own record for `info`, in order ("flags", "0x00000011
    // HasEditor CanReplacing"); labels of at most 14 characters.
    std::vector<std::pair<std::string, std::string>> details;
};

class PluginInstance {
public:
    virtual ~PluginInstance() = default;

    virtual PluginDescription Describe() = 0;
    // The format's name, as in PluginDescription::format.
    virtual const char* FormatName() const = 0;
    // What was loaded: the path or URI, as the messages name it.
    virtual const std::string& Location() const = 0;
    virtual double SampleRate() const = 0;
    virtual int MaxBlockSize() const = 0;

    // Audio channels of the main input and output, as the plug-in announces
    // them now (they may change when it reports an I/O change).
    virtual int InputCount() const = 0;
    virtual int OutputCount() const = 0;

    // Parameters by index, 0 to ParameterCount() - 1, as the format's hosts
    // see them: a name, a unit label, the display text of the current value,
    // and a normalised value in [0, 1].
    virtual int ParameterCount() const = 0;
    virtual std::string ParameterName(int index) = 0;
    virtual std::string ParameterLabel(int index) = 0;
    virtual std::string ParameterDisplay(int index) = 0;
    virtual float GetParameter(int index) = 0;
    virtual void SetParameter(int index, float normalised) = 0;
    // The plug-in's own text entry ("12.5"); false when it has none or
    // refuses the text. The caller checks the display afterwards.
    virtual bool SetParameterFromText(int index, const std::string& text) = 0;

    // State. What it holds depends on the format and is what its hosts save
    // in a project:
    //   VST 3: the component's state and the controller's, under the class
    //   id (a bare state is the component's alone).
    //   VST 2.4: the program chunk (effGetChunk, index 1) when the plug-in
    //   announces program chunks, else one 32-bit normalised value per
    //   parameter (hosts save those plug-ins with getParameter and restore
    //   them with setParameter, so a restored value may differ from the
    //   saved one by the float's resolution).
    // A format with more than one part of state (a processor's and a
    // controller's) keeps all of them in one payload of a kind of its own.
    // SaveState names the plug-in in `state` (id, version) so that
    // RestoreState can refuse another plug-in's state; both are false with
    // a one-line error, and a refused state changes nothing. `source` names
    // where the state came from in the messages.
    virtual bool SaveState(PluginState& state, std::string& error) = 0;
    virtual bool RestoreState(const PluginState& state, const std::string& source, std::string& error) = 0;
    // Bytes without velmor-host's header, as older state files were written
    // (VST 2.4: a program chunk). Nothing tells their origin: the user
    // vouches for them.
    virtual bool RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                                  std::string& error) = 0;

    // Processing. Resume before the first block (the plug-in may settle its
    // latency and channel counts then), Suspend after the last. A block has
    // at most MaxBlockSize() frames; the buffers have InputCount() and
    // OutputCount() channels.
    virtual void Resume(bool doublePrecision) = 0;
    virtual void Suspend() = 0;
    virtual bool CanProcessDouble() const = 0;
    virtual void ProcessFloat(float** inputs, float** outputs, int frames) = 0;
    virtual void ProcessDouble(double** inputs, double** outputs, int frames) = 0;
    // Frames of delay the plug-in reports now, bounded to [0, 2^24].
    virtual int Latency() const = 0;
    // Set when the plug-in said its latency or channels changed since the
    // last call; the caller reads them again between blocks.
    virtual bool TakeIoChanged() = 0;

    // Editor, in an X11 window on Linux. OpenEditor embeds the plug-in's
    // editor in `parentWindow` (an X11 Window id) on the display named by
    // `display` (an Xlib Display*, which formats may ignore); EditorSize
    // answers the size the editor asks for, before or after opening; the
    // caller idles the editor 50 times a second from the thread that opened
    // it and closes it before Close. False with a one-line error.
    virtual bool HasEditor() const = 0;
    virtual bool EditorSize(int& width, int& height) = 0;
    virtual bool OpenEditor(void* display, unsigned long parentWindow, std::string& error) = 0;
    virtual void IdleEditor() = 0;
    virtual void CloseEditor() = 0;
    // Tells the editor the host's scale (1 to 2) through the format's own
    // call (VST 3: the view's setContentScaleFactor; CLAP: gui.set_scale),
    // before EditorSize and OpenEditor. False where the format or the
    // plug-in has none (VST 2.4: its editors read the X server's Xft.dpi
    // instead).
    virtual bool SetEditorScale(double /*scale*/) { return false; }

    virtual void Close() = 0;
};
