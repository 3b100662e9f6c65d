// Hosting LV2 plug-ins and their X11 UIs through lilv: what velmor-host and
// the tests share. Lv2Plugin finds a plug-in (in one bundle folder, or
// among every installed one), instantiates it with the features a plain
// host offers (URID map and unmap, options with the block bounds and rate,
// bounded block length, log), connects every port and runs it. Lv2Ui opens
// the plug-in's X11 UI in a parent window in the same process and carries
// port values both ways.
//
// Threads: one thread loads, sets up and saves or restores; Run may come
// from one other thread while a UI is open. Control values set from the UI
// thread reach the ports at the start of the next Run (under a lock), and
// the outputs the UI shows are copied from there.
#pragma once

#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The process's URIs and their numbers (any thread).
class Lv2Urids {
public:
    static Lv2Urids& Get();
    LV2_URID Map(const char* uri);
    const char* Unmap(LV2_URID id);
    LV2_URID_Map* MapFeature() { return &mMap; }
    LV2_URID_Unmap* UnmapFeature() { return &mUnmap; }

private:
    Lv2Urids();
    std::mutex mLock;
    std::vector<std::unique_ptr<std::string>> mUris;  // id - 1
    LV2_URID_Map mMap;
    LV2_URID_Unmap mUnmap;
};

struct Lv2PortInfo {
    enum class Type { kControl, kAudio, kCv, kAtom, kOther };
    std::uint32_t index = 0;
    Type type = Type::kOther;
    bool input = true;
    bool optional = false;  // lv2:connectionOptional
    std::string symbol;
    std::string name;
    float min = 0.0f;
    float max = 1.0f;
    float def = 0.0f;
    bool toggled = false;
    bool integer = false;
    bool enumeration = false;
    bool logarithmic = false;
    bool reportsLatency = false;
    bool enabled = false;  // designated as the host's enable (bypass) control
    std::string unit;      // "dB", "Hz", ... or ""
    std::vector<std::pair<float, std::string>> scalePoints;
};

// One state property as the plug-in's state interface stores it.
struct Lv2StateProperty {
    std::string key;
    std::string type;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> value;
};

class Lv2Plugin {
public:
    Lv2Plugin();
    ~Lv2Plugin();
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    // bundle: a bundle folder (empty: every installed bundle); uri: the
    // plug-in (empty: the only one the bundle holds). False with a one-line
    // error: not found, more than one (naming them), a feature this host
    // lacks, or an instance the plug-in refused.
    bool Load(const std::string& bundle, const std::string& uri, double rate, int maxBlock, std::string& error);

    const std::string& Uri() const { return mUri; }
    std::string Name() const;
    std::string Author() const;
    std::string ClassLabel() const;
    std::string BundlePath() const;
    std::string BinaryPath() const;
    double SampleRate() const { return mRate; }
    int MaxBlock() const { return mMaxBlock; }
    const std::vector<Lv2PortInfo>& Ports() const { return mPorts; }
    // The ports of the main audio path, in order.
    const std::vector<std::uint32_t>& AudioInputs() const { return mAudioIns; }
    const std::vector<std::uint32_t>& AudioOutputs() const { return mAudioOuts; }
    // The control inputs, in port order (velmor-host's parameters).
    const std::vector<std::uint32_t>& ControlInputs() const { return mControlIns; }
    int LatencyPort() const { return mLatencyPort; }

    // A control port's value: what the next Run takes (inputs) or what the
    // last one wrote (outputs). Any thread.
    float Control(std::uint32_t port) const;
    void SetControl(std::uint32_t port, float value);
    // Symbol to port index, or -1.
    int PortBySymbol(const std::string& symbol) const;

    void Activate();
    void Deactivate();
    bool Active() const { return mActive; }
    // frames <= MaxBlock(); inputs and outputs in the order of the audio
    // lists, any of them null (silence in; output not kept).
    void Run(const float* const* inputs, float* const* outputs, int frames);

    // The state interface (false with error where there is none): the
    // plug-in's properties, and restoring them. Restore does not touch the
    // control ports; a refused state is the plug-in's error.
    bool HasStateInterface() const;
    bool SaveProperties(std::vector<Lv2StateProperty>& properties, std::string& error);
    bool RestoreProperties(const std::vector<Lv2StateProperty>& properties, std::string& error);

    LilvWorld* World() const { return mWorld; }
    const LilvPlugin* Plugin() const { return mPlugin; }
    LilvInstance* Instance() const { return mInstance; }
    const LV2_Feature* const* Features() const { return mFeatureList.data(); }

private:
    friend class Lv2Ui;
    void ConnectBuffers();
    void ResetAtomBuffers();

    LilvWorld* mWorld = nullptr;
    const LilvPlugin* mPlugin = nullptr;
    LilvInstance* mInstance = nullptr;
    std::string mUri;
    double mRate = 48000.0;
    int mMaxBlock = 512;
    bool mActive = false;
    std::vector<Lv2PortInfo> mPorts;
    std::vector<std::uint32_t> mAudioIns;
    std::vector<std::uint32_t> mAudioOuts;
    std::vector<std::uint32_t> mControlIns;
    int mLatencyPort = -1;

    // Port buffers: controls (what the plug-in reads and writes), the
    // values set for the next Run, silent and spare audio, atom sequences.
    std::vector<float> mControls;
    mutable std::mutex mControlLock;
    std::vector<float> mPending;  // under mControlLock
    std::vector<bool> mPendingSet;
    std::vector<float> mShown;  // outputs as of the last Run, under mControlLock
    std::vector<std::vector<float>> mAudio;
    std::vector<float> mSilence;
    std::vector<std::vector<std::uint64_t>> mAtoms;

    // Features.
    std::int32_t mMinBlockValue = 1;
    std::int32_t mMaxBlockValue = 512;
    float mRateValue = 48000.0f;
    std::vector<LV2_Options_Option> mOptions;
    std::vector<LV2_Feature> mFeatures;
    std::vector<const LV2_Feature*> mFeatureList;
    struct LogHandle;
    std::unique_ptr<LogHandle> mLog;
};

// A plug-in's X11 UI in this process, inside a parent window.
class Lv2Ui {
public:
    struct Event {
        enum Kind { kWrite, kTouchBegin, kTouchEnd } kind;
        std::uint32_t port;
        float value;
    };

    explicit Lv2Ui(Lv2Plugin& plugin);
    ~Lv2Ui();
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // Whether the plug-in has an X11 UI this host can open.
    bool Available() const;
    // Opens it in parent (an X11 window id); scale > 0 is passed as the
    // ui:scaleFactor option, 0 passes none. False with a one-line error.
    bool Open(unsigned long parent, double scale, std::string& error);
    // The size the UI asked for through ui:resize (0 before it asked).
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    unsigned long Widget() const { return mWidget; }
    // Port values that changed since the last call go to the UI, then its
    // idle interface runs. False once the UI says it closed.
    bool Idle();
    // A new scale factor through the UI's options interface; false where it
    // has none.
    bool SetScale(double scale);
    void Close();
    bool IsOpen() const { return mHandle != nullptr; }

    // Every write and touch the UI made, in order (UI thread).
    const std::vector<Event>& Events() const { return mEvents; }
    void ClearEvents() { mEvents.clear(); }

private:
    static void Write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                      const void* buffer);
    static void Touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed);
    static int Resize(LV2UI_Feature_Handle handle, int width, int height);

    Lv2Plugin& mPlugin;
    void* mLibrary = nullptr;
    const LV2UI_Descriptor* mDescriptor = nullptr;
    LV2UI_Handle mHandle = nullptr;
    const LV2UI_Idle_Interface* mIdle = nullptr;
    const LV2_Options_Interface* mOptionsInterface = nullptr;
    unsigned long mWidget = 0;
    int mWidth = 0;
    int mHeight = 0;
    float mScale = 1.0f;
    std::vector<float> mSent;  // the values the UI last heard, per port (NaN: never)
    std::vector<Event> mEvents;
    LV2UI_Touch mTouch{};
    LV2UI_Resize mResize{};
    std::vector<LV2_Options_Option> mOptions;
};
