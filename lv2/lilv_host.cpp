#include "lv2/lilv_host.h"

#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/log.h>
#include <lv2/port-props/port-props.h>
#include <lv2/state/state.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Room for an atom port's events in one block.
constexpr std::size_t kAtomBytes = 8192;

const char kLv2Core[] = "http://lv2plug.in/ns/lv2core#";

std::string Core(const char* name) { return std::string(kLv2Core) + name; }

// A node's text, or "" for none (the node freed).
std::string Take(LilvNode* node) {
    std::string s = node && lilv_node_is_string(node) ? lilv_node_as_string(node)
                    : node && lilv_node_is_uri(node)  ? lilv_node_as_uri(node)
                                                      : "";
    lilv_node_free(node);
    return s;
}

// A file URI's path, or "".
std::string PathOfUri(const char* uri) {
    if (!uri) return "";
    char* path = lilv_file_uri_parse(uri, nullptr);
    std::string s = path ? path : "";
    lilv_free(path);
    return s;
}

class Node {
public:
    Node(LilvWorld* world, const std::string& uri) : mNode(lilv_new_uri(world, uri.c_str())) {}
    ~Node() { lilv_node_free(mNode); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    const LilvNode* Get() const { return mNode; }

private:
    LilvNode* mNode;
};

// The features velmor's hosts offer; a plug-in needing another is refused.
bool Offered(const std::string& uri) {
    static const char* const kOffered[] = {LV2_URID__map,
                                           LV2_URID__unmap,
                                           LV2_OPTIONS__options,
                                           LV2_BUF_SIZE__boundedBlockLength,
                                           LV2_LOG__log,
                                           "http://lv2plug.in/ns/lv2core#isLive",
                                           "http://lv2plug.in/ns/lv2core#hardRTCapable",
                                           "http://lv2plug.in/ns/lv2core#inPlaceBroken"};
    for (const char* f : kOffered) {
        if (uri == f) return true;
    }
    return false;
}

// The log feature: the plug-in's messages on stderr.
int LogPrintf(LV2_Log_Handle, LV2_URID, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vfprintf(stderr, format, args);
    va_end(args);
    return n;
}

}  // namespace

// ---- URIDs ----

Lv2Urids& Lv2Urids::Get() {
    static Lv2Urids urids;
    return urids;
}

Lv2Urids::Lv2Urids() {
    mMap.handle = this;
    mMap.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<Lv2Urids*>(h)->Map(uri); };
    mUnmap.handle = this;
    mUnmap.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<Lv2Urids*>(h)->Unmap(id); };
}

LV2_URID Lv2Urids::Map(const char* uri) {
    if (!uri) return 0;
    std::lock_guard<std::mutex> hold(mLock);
    for (std::size_t i = 0; i < mUris.size(); ++i) {
        if (*mUris[i] == uri) return static_cast<LV2_URID>(i + 1);
    }
    mUris.push_back(std::make_unique<std::string>(uri));
    return static_cast<LV2_URID>(mUris.size());
}

const char* Lv2Urids::Unmap(LV2_URID id) {
    std::lock_guard<std::mutex> hold(mLock);
    return id >= 1 && id <= mUris.size() ? mUris[id - 1]->c_str() : nullptr;
}

// ---- The plug-in ----

struct Lv2Plugin::LogHandle {
    LV2_Log_Log log{};
    LV2_URID error = 0;
    LV2_URID warning = 0;
};

Lv2Plugin::Lv2Plugin() : mWorld(lilv_world_new()) {}

Lv2Plugin::~Lv2Plugin() {
    if (mInstance) {
        if (mActive) lilv_instance_deactivate(mInstance);
        lilv_instance_free(mInstance);
    }
    lilv_world_free(mWorld);
}

bool Lv2Plugin::Load(const std::string& bundle, const std::string& uri, double rate, int maxBlock, std::string& error) {
    const std::string where = bundle.empty() ? uri : bundle;
    if (!mWorld) {
        error = "cannot load " + where + ": no LV2 world";
        return false;
    }
    if (bundle.empty()) {
        lilv_world_load_all(mWorld);
    } else {
        std::string path = bundle;
        if (path.empty() || path.back() != '/') path += '/';
        LilvNode* bundleUri = lilv_new_file_uri(mWorld, nullptr, path.c_str());
        lilv_world_load_specifications(mWorld);
        lilv_world_load_plugin_classes(mWorld);
        lilv_world_load_bundle(mWorld, bundleUri);
        lilv_node_free(bundleUri);
    }
    const LilvPlugins* plugins = lilv_world_get_all_plugins(mWorld);
    std::vector<const LilvPlugin*> found;
    LILV_FOREACH(plugins, i, plugins) {
        const LilvPlugin* p = lilv_plugins_get(plugins, i);
        if (!bundle.empty()) {
            const std::string b = PathOfUri(lilv_node_as_uri(lilv_plugin_get_bundle_uri(p)));
            std::string want = bundle;
            if (want.back() != '/') want += '/';
            char* real = realpath(want.c_str(), nullptr);
            const std::string wantReal = real ? std::string(real) + "/" : want;
            std::free(real);
            char* realB = realpath(b.c_str(), nullptr);
            const std::string haveReal = realB ? std::string(realB) + "/" : b;
            std::free(realB);
            if (haveReal != wantReal) continue;
        }
        if (!uri.empty() && uri != lilv_node_as_uri(lilv_plugin_get_uri(p))) continue;
        found.push_back(p);
    }
    if (found.empty()) {
        error = "cannot load " + where + ": " +
                (uri.empty() ? std::string("the bundle holds no LV2 plug-in") : "no LV2 plug-in " + uri + " found");
        return false;
    }
    if (found.size() > 1) {
        error = "cannot load " + where + ": the bundle holds " + std::to_string(found.size()) +
                " plug-ins; --class picks one of:";
        for (const LilvPlugin* p : found) error += std::string(" ") + lilv_node_as_uri(lilv_plugin_get_uri(p));
        return false;
    }
    mPlugin = found.front();
    mUri = lilv_node_as_uri(lilv_plugin_get_uri(mPlugin));

    LilvNodes* required = lilv_plugin_get_required_features(mPlugin);
    LILV_FOREACH(nodes, i, required) {
        const std::string f = lilv_node_as_uri(lilv_nodes_get(required, i));
        if (!Offered(f)) {
            error = "cannot load " + where + ": " + mUri + " needs the feature " + f + ", which this host lacks";
            lilv_nodes_free(required);
            return false;
        }
    }
    lilv_nodes_free(required);

    mRate = rate;
    mMaxBlock = maxBlock > 0 ? maxBlock : 512;
    Lv2Urids& urids = Lv2Urids::Get();
    mMaxBlockValue = mMaxBlock;
    mRateValue = static_cast<float>(rate);
    const LV2_URID intType = urids.Map(LV2_ATOM__Int);
    mOptions = {{LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__minBlockLength), sizeof(std::int32_t), intType,
                 &mMinBlockValue},
                {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(std::int32_t), intType,
                 &mMaxBlockValue},
                {LV2_OPTIONS_INSTANCE, 0, urids.Map("http://lv2plug.in/ns/ext/parameters#sampleRate"), sizeof(float),
                 urids.Map(LV2_ATOM__Float), &mRateValue},
                {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    mLog = std::make_unique<LogHandle>();
    mLog->error = urids.Map(LV2_LOG__Error);
    mLog->warning = urids.Map(LV2_LOG__Warning);
    mLog->log.handle = mLog.get();
    mLog->log.printf = LogPrintf;
    mLog->log.vprintf = [](LV2_Log_Handle, LV2_URID, const char* format, va_list args) {
        return std::vfprintf(stderr, format, args);
    };
    mFeatures = {{LV2_URID__map, urids.MapFeature()},
                 {LV2_URID__unmap, urids.UnmapFeature()},
                 {LV2_OPTIONS__options, mOptions.data()},
                 {LV2_BUF_SIZE__boundedBlockLength, nullptr},
                 {LV2_LOG__log, &mLog->log}};
    mFeatureList.clear();
    for (const LV2_Feature& f : mFeatures) mFeatureList.push_back(&f);
    mFeatureList.push_back(nullptr);

    // The ports.
    Node audio(mWorld, Core("AudioPort")), control(mWorld, Core("ControlPort")), cv(mWorld, Core("CVPort")),
        input(mWorld, Core("InputPort")), atom(mWorld, LV2_ATOM__AtomPort),
        optional(mWorld, Core("connectionOptional")), toggled(mWorld, Core("toggled")),
        integer(mWorld, Core("integer")), enumeration(mWorld, Core("enumeration")),
        logarithmic(mWorld, LV2_PORT_PROPS__logarithmic), latency(mWorld, Core("reportsLatency")),
        designation(mWorld, Core("designation")), enabled(mWorld, Core("enabled")), unit(mWorld, LV2_UNITS__unit),
        symbolNode(mWorld, LV2_UNITS__symbol), sideChain(mWorld, Core("isSideChain"));
    const std::uint32_t count = lilv_plugin_get_num_ports(mPlugin);
    mPorts.assign(count, Lv2PortInfo{});
    mControls.assign(count, 0.0f);
    mPending.assign(count, 0.0f);
    mPendingSet.assign(count, false);
    mShown.assign(count, 0.0f);
    mAudio.assign(count, {});
    mAtoms.assign(count, {});
    mSilence.assign(static_cast<std::size_t>(mMaxBlock), 0.0f);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
        Lv2PortInfo& info = mPorts[i];
        info.index = i;
        info.input = lilv_port_is_a(mPlugin, port, input.Get());
        info.optional = lilv_port_has_property(mPlugin, port, optional.Get());
        info.symbol = lilv_node_as_string(lilv_port_get_symbol(mPlugin, port));
        info.name = Take(lilv_port_get_name(mPlugin, port));
        if (lilv_port_is_a(mPlugin, port, control.Get())) {
            info.type = Lv2PortInfo::Type::kControl;
        } else if (lilv_port_is_a(mPlugin, port, audio.Get())) {
            info.type = Lv2PortInfo::Type::kAudio;
        } else if (lilv_port_is_a(mPlugin, port, cv.Get())) {
            info.type = Lv2PortInfo::Type::kCv;
        } else if (lilv_port_is_a(mPlugin, port, atom.Get())) {
            info.type = Lv2PortInfo::Type::kAtom;
        }
        if (info.type == Lv2PortInfo::Type::kControl) {
            LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
            lilv_port_get_range(mPlugin, port, &def, &min, &max);
            info.min = min ? lilv_node_as_float(min) : 0.0f;
            info.max = max ? lilv_node_as_float(max) : 1.0f;
            info.def = def ? lilv_node_as_float(def) : info.min;
            lilv_node_free(def);
            lilv_node_free(min);
            lilv_node_free(max);
            info.toggled = lilv_port_has_property(mPlugin, port, toggled.Get());
            info.integer = lilv_port_has_property(mPlugin, port, integer.Get());
            info.enumeration = lilv_port_has_property(mPlugin, port, enumeration.Get());
            info.logarithmic = lilv_port_has_property(mPlugin, port, logarithmic.Get());
            info.reportsLatency = lilv_port_has_property(mPlugin, port, latency.Get());
            LilvNodes* designations = lilv_port_get_value(mPlugin, port, designation.Get());
            LILV_FOREACH(nodes, d, designations) {
                if (lilv_node_equals(lilv_nodes_get(designations, d), enabled.Get())) info.enabled = true;
            }
            lilv_nodes_free(designations);
            LilvNodes* units = lilv_port_get_value(mPlugin, port, unit.Get());
            if (units && lilv_nodes_size(units) > 0) {
                const LilvNode* u = lilv_nodes_get_first(units);
                if (lilv_node_is_uri(u)) {
                    std::string s = Take(lilv_world_get(mWorld, u, symbolNode.Get(), nullptr));
                    if (s.empty()) {
                        s = lilv_node_as_uri(u);
                        s = s.substr(s.find_last_of("#/") + 1);
                        if (s == "db") s = "dB";
                    }
                    info.unit = s;
                }
            }
            lilv_nodes_free(units);
            if (LilvScalePoints* points = lilv_port_get_scale_points(mPlugin, port)) {
                LILV_FOREACH(scale_points, p, points) {
                    const LilvScalePoint* sp = lilv_scale_points_get(points, p);
                    info.scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(sp)),
                                                  lilv_node_as_string(lilv_scale_point_get_label(sp)));
                }
                lilv_scale_points_free(points);
                // A set in the metadata: shown in the order of their values.
                std::stable_sort(info.scalePoints.begin(), info.scalePoints.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
            }
            mControls[i] = info.def;
            mShown[i] = info.def;
            if (info.input) {
                mControlIns.push_back(i);
            } else if (info.reportsLatency && mLatencyPort < 0) {
                mLatencyPort = static_cast<int>(i);
            }
        } else if (info.type == Lv2PortInfo::Type::kAudio) {
            // A side chain is not the main path: it hears silence.
            if (!lilv_port_has_property(mPlugin, port, sideChain.Get())) {
                (info.input ? mAudioIns : mAudioOuts).push_back(i);
            }
            mAudio[i].assign(static_cast<std::size_t>(mMaxBlock), 0.0f);
        } else if (info.type == Lv2PortInfo::Type::kCv) {
            mAudio[i].assign(static_cast<std::size_t>(mMaxBlock), 0.0f);
        } else if (info.type == Lv2PortInfo::Type::kAtom) {
            mAtoms[i].assign(kAtomBytes / sizeof(std::uint64_t), 0);
        }
    }

    mInstance = lilv_plugin_instantiate(mPlugin, rate, mFeatureList.data());
    if (!mInstance) {
        error = "cannot load " + where + ": " + mUri + " refused to be instantiated";
        return false;
    }
    ConnectBuffers();
    return true;
}

std::string Lv2Plugin::Name() const { return mPlugin ? Take(lilv_plugin_get_name(mPlugin)) : ""; }
std::string Lv2Plugin::Author() const { return mPlugin ? Take(lilv_plugin_get_author_name(mPlugin)) : ""; }
std::string Lv2Plugin::ClassLabel() const {
    if (!mPlugin) return "";
    const LilvNode* label = lilv_plugin_class_get_label(lilv_plugin_get_class(mPlugin));
    return label ? lilv_node_as_string(label) : "";
}
std::string Lv2Plugin::BundlePath() const {
    return mPlugin ? PathOfUri(lilv_node_as_uri(lilv_plugin_get_bundle_uri(mPlugin))) : "";
}
std::string Lv2Plugin::BinaryPath() const {
    return mPlugin ? PathOfUri(lilv_node_as_uri(lilv_plugin_get_library_uri(mPlugin))) : "";
}

void Lv2Plugin::ConnectBuffers() {
    for (const Lv2PortInfo& p : mPorts) {
        void* data = nullptr;
        switch (p.type) {
            case Lv2PortInfo::Type::kControl:
                data = &mControls[p.index];
                break;
            case Lv2PortInfo::Type::kAudio:
            case Lv2PortInfo::Type::kCv:
                data = mAudio[p.index].data();
                break;
            case Lv2PortInfo::Type::kAtom:
                data = mAtoms[p.index].data();
                break;
            case Lv2PortInfo::Type::kOther:
                break;
        }
        lilv_instance_connect_port(mInstance, p.index, data);
    }
}

void Lv2Plugin::ResetAtomBuffers() {
    Lv2Urids& urids = Lv2Urids::Get();
    for (const Lv2PortInfo& p : mPorts) {
        if (p.type != Lv2PortInfo::Type::kAtom) continue;
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mAtoms[p.index].data());
        if (p.input) {
            // An empty sequence.
            seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            seq->atom.type = urids.Map(LV2_ATOM__Sequence);
            seq->body.unit = 0;
            seq->body.pad = 0;
        } else {
            // The room the plug-in may write into.
            seq->atom.size = static_cast<std::uint32_t>(kAtomBytes - sizeof(LV2_Atom));
            seq->atom.type = urids.Map(LV2_ATOM__Chunk);
        }
    }
}

float Lv2Plugin::Control(std::uint32_t port) const {
    if (port >= mPorts.size()) return 0.0f;
    std::lock_guard<std::mutex> hold(mControlLock);
    if (mPorts[port].input) return mPendingSet[port] ? mPending[port] : mControls[port];
    return mShown[port];
}

void Lv2Plugin::SetControl(std::uint32_t port, float value) {
    if (port >= mPorts.size() || mPorts[port].type != Lv2PortInfo::Type::kControl || !mPorts[port].input) return;
    std::lock_guard<std::mutex> hold(mControlLock);
    mPending[port] = value;
    mPendingSet[port] = true;
}

int Lv2Plugin::PortBySymbol(const std::string& symbol) const {
    for (const Lv2PortInfo& p : mPorts) {
        if (p.symbol == symbol) return static_cast<int>(p.index);
    }
    return -1;
}

void Lv2Plugin::Activate() {
    if (!mInstance || mActive) return;
    lilv_instance_activate(mInstance);
    mActive = true;
}

void Lv2Plugin::Deactivate() {
    if (!mInstance || !mActive) return;
    lilv_instance_deactivate(mInstance);
    mActive = false;
}

void Lv2Plugin::Run(const float* const* inputs, float* const* outputs, int frames) {
    if (!mInstance || frames < 0 || frames > mMaxBlock) return;
    {
        std::lock_guard<std::mutex> hold(mControlLock);
        for (std::size_t i = 0; i < mPorts.size(); ++i) {
            if (!mPendingSet[i]) continue;
            mControls[i] = mPending[i];
            mPendingSet[i] = false;
        }
    }
    // The host's buffers directly where it has them: the plug-in may run in
    // place or not, as its ports say.
    for (std::size_t c = 0; c < mAudioIns.size(); ++c) {
        const std::uint32_t port = mAudioIns[c];
        const float* in = inputs ? inputs[c] : nullptr;
        if (in) {
            std::memcpy(mAudio[port].data(), in, sizeof(float) * static_cast<std::size_t>(frames));
        } else {
            std::memset(mAudio[port].data(), 0, sizeof(float) * static_cast<std::size_t>(frames));
        }
    }
    ResetAtomBuffers();
    lilv_instance_run(mInstance, static_cast<std::uint32_t>(frames));
    for (std::size_t c = 0; c < mAudioOuts.size(); ++c) {
        float* out = outputs ? outputs[c] : nullptr;
        if (out) std::memcpy(out, mAudio[mAudioOuts[c]].data(), sizeof(float) * static_cast<std::size_t>(frames));
    }
    std::lock_guard<std::mutex> hold(mControlLock);
    for (const Lv2PortInfo& p : mPorts) {
        if (p.type == Lv2PortInfo::Type::kControl) mShown[p.index] = mControls[p.index];
    }
}

namespace {

const LV2_State_Interface* StateInterface(LilvInstance* instance) {
    if (!instance) return nullptr;
    const auto* s =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    return s && s->save && s->restore ? s : nullptr;
}

}  // namespace

bool Lv2Plugin::HasStateInterface() const { return StateInterface(mInstance) != nullptr; }

bool Lv2Plugin::SaveProperties(std::vector<Lv2StateProperty>& properties, std::string& error) {
    const LV2_State_Interface* state = StateInterface(mInstance);
    if (!state) {
        error = mUri + " has no state interface";
        return false;
    }
    properties.clear();
    auto store = [](LV2_State_Handle handle, std::uint32_t key, const void* value, std::size_t size, std::uint32_t type,
                    std::uint32_t flags) -> LV2_State_Status {
        auto* out = static_cast<std::vector<Lv2StateProperty>*>(handle);
        Lv2Urids& urids = Lv2Urids::Get();
        const char* keyUri = urids.Unmap(key);
        const char* typeUri = urids.Unmap(type);
        if (!keyUri || !typeUri || (!value && size)) return LV2_STATE_ERR_UNKNOWN;
        Lv2StateProperty p;
        p.key = keyUri;
        p.type = typeUri;
        p.flags = flags;
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        p.value.assign(bytes, bytes + size);
        out->push_back(std::move(p));
        return LV2_STATE_SUCCESS;
    };
    const LV2_State_Status status = state->save(lilv_instance_get_handle(mInstance), store, &properties,
                                                LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, Features());
    if (status != LV2_STATE_SUCCESS) {
        error = mUri + " could not save its state (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

bool Lv2Plugin::RestoreProperties(const std::vector<Lv2StateProperty>& properties, std::string& error) {
    const LV2_State_Interface* state = StateInterface(mInstance);
    if (!state) {
        error = mUri + " has no state interface";
        return false;
    }
    struct Source {
        const std::vector<Lv2StateProperty>* properties;
        std::vector<LV2_URID> types;
    } source{&properties, {}};
    Lv2Urids& urids = Lv2Urids::Get();
    for (const Lv2StateProperty& p : properties) source.types.push_back(urids.Map(p.type.c_str()));
    auto retrieve = [](LV2_State_Handle handle, std::uint32_t key, std::size_t* size, std::uint32_t* type,
                       std::uint32_t* flags) -> const void* {
        auto* s = static_cast<Source*>(handle);
        const char* keyUri = Lv2Urids::Get().Unmap(key);
        if (!keyUri) return nullptr;
        for (std::size_t i = 0; i < s->properties->size(); ++i) {
            const Lv2StateProperty& p = (*s->properties)[i];
            if (p.key != keyUri) continue;
            if (size) *size = p.value.size();
            if (type) *type = s->types[i];
            if (flags) *flags = p.flags;
            static const std::uint8_t kEmpty = 0;
            return p.value.empty() ? &kEmpty : p.value.data();
        }
        return nullptr;
    };
    const LV2_State_Status status = state->restore(lilv_instance_get_handle(mInstance), retrieve, &source,
                                                   LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, Features());
    if (status != LV2_STATE_SUCCESS) {
        error = mUri + " refused the state (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

// ---- The UI ----

Lv2Ui::Lv2Ui(Lv2Plugin& plugin) : mPlugin(plugin) {}

Lv2Ui::~Lv2Ui() { Close(); }

namespace {

// The plug-in's first X11 UI: its URI, binary and bundle, or false.
bool FindX11Ui(const Lv2Plugin& plugin, std::string& uri, std::string& binary, std::string& bundle) {
    if (!plugin.Plugin()) return false;
    LilvUIs* uis = lilv_plugin_get_uis(plugin.Plugin());
    Node x11(plugin.World(), LV2_UI__X11UI);
    bool found = false;
    LILV_FOREACH(uis, i, uis) {
        const LilvUI* ui = lilv_uis_get(uis, i);
        if (!lilv_ui_is_a(ui, x11.Get())) continue;
        uri = lilv_node_as_uri(lilv_ui_get_uri(ui));
        binary = PathOfUri(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)));
        bundle = PathOfUri(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)));
        found = true;
        break;
    }
    lilv_uis_free(uis);
    return found;
}

}  // namespace

bool Lv2Ui::Available() const {
    std::string uri, binary, bundle;
    return FindX11Ui(mPlugin, uri, binary, bundle);
}

bool Lv2Ui::Open(unsigned long parent, double scale, std::string& error) {
    std::string uri, binary, bundle;
    if (!FindX11Ui(mPlugin, uri, binary, bundle)) {
        error = mPlugin.Uri() + " has no X11 UI";
        return false;
    }
    mLibrary = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mLibrary) {
        error = "cannot load the UI " + binary + ": " + dlerror();
        return false;
    }
    using DescriptorFn = const LV2UI_Descriptor* (*)(std::uint32_t);
    auto fn = reinterpret_cast<DescriptorFn>(dlsym(mLibrary, "lv2ui_descriptor"));
    for (std::uint32_t i = 0; fn; ++i) {
        const LV2UI_Descriptor* d = fn(i);
        if (!d) break;
        if (d->URI && uri == d->URI) {
            mDescriptor = d;
            break;
        }
    }
    if (!mDescriptor) {
        error = binary + " does not hold the UI " + uri;
        Close();
        return false;
    }
    Lv2Urids& urids = Lv2Urids::Get();
    mScale = static_cast<float>(scale);
    mOptions.clear();
    if (scale > 0.0) {
        mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_UI__scaleFactor), sizeof(float),
                            urids.Map(LV2_ATOM__Float), &mScale});
    }
    mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    mTouch = {this, Touch};
    mResize = {this, Resize};
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))};
    const LV2_Feature map{LV2_URID__map, urids.MapFeature()};
    const LV2_Feature unmap{LV2_URID__unmap, urids.UnmapFeature()};
    const LV2_Feature touch{LV2_UI__touch, &mTouch};
    const LV2_Feature resize{LV2_UI__resize, &mResize};
    const LV2_Feature idle{LV2_UI__idleInterface, nullptr};
    const LV2_Feature options{LV2_OPTIONS__options, mOptions.data()};
    const LV2_Feature instance{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(mPlugin.Instance())};
    const LV2_Feature* features[] = {&parentFeature, &map,     &unmap,    &touch, &resize,
                                     &idle,          &options, &instance, nullptr};
    LV2UI_Widget widget = nullptr;
    mHandle =
        mDescriptor->instantiate(mDescriptor, mPlugin.Uri().c_str(), bundle.c_str(), Write, this, &widget, features);
    if (!mHandle) {
        error = "the UI " + uri + " could not be opened";
        Close();
        return false;
    }
    mWidget = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(widget));
    if (mDescriptor->extension_data) {
        mIdle = static_cast<const LV2UI_Idle_Interface*>(mDescriptor->extension_data(LV2_UI__idleInterface));
        mOptionsInterface =
            static_cast<const LV2_Options_Interface*>(mDescriptor->extension_data(LV2_OPTIONS__interface));
    }
    mSent.assign(mPlugin.Ports().size(), std::numeric_limits<float>::quiet_NaN());
    return true;
}

bool Lv2Ui::Idle() {
    if (!mHandle) return false;
    if (mDescriptor->port_event) {
        for (const Lv2PortInfo& p : mPlugin.Ports()) {
            if (p.type != Lv2PortInfo::Type::kControl) continue;
            const float v = mPlugin.Control(p.index);
            if (v == mSent[p.index]) continue;
            mSent[p.index] = v;
            mDescriptor->port_event(mHandle, p.index, sizeof v, 0, &v);
        }
    }
    if (mIdle && mIdle->idle && mIdle->idle(mHandle) != 0) return false;
    return true;
}

bool Lv2Ui::SetScale(double scale) {
    if (!mHandle || !mOptionsInterface || !mOptionsInterface->set) return false;
    Lv2Urids& urids = Lv2Urids::Get();
    mScale = static_cast<float>(scale);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_UI__scaleFactor), sizeof(float), urids.Map(LV2_ATOM__Float), &mScale},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    return mOptionsInterface->set(mHandle, options) == LV2_OPTIONS_SUCCESS;
}

void Lv2Ui::Close() {
    if (mHandle && mDescriptor && mDescriptor->cleanup) mDescriptor->cleanup(mHandle);
    mHandle = nullptr;
    mDescriptor = nullptr;
    mIdle = nullptr;
    mOptionsInterface = nullptr;
    if (mLibrary) dlclose(mLibrary);
    mLibrary = nullptr;
}

void Lv2Ui::Write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                  const void* buffer) {
    auto* ui = static_cast<Lv2Ui*>(const_cast<void*>(controller));
    if (protocol != 0 || size != sizeof(float) || !buffer) return;
    const float v = *static_cast<const float*>(buffer);
    ui->mEvents.push_back({Event::kWrite, port, v});
    ui->mPlugin.SetControl(port, v);
    // The UI knows the value it wrote: no echo.
    if (port < ui->mSent.size()) ui->mSent[port] = v;
}

void Lv2Ui::Touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed) {
    auto* ui = static_cast<Lv2Ui*>(handle);
    ui->mEvents.push_back({grabbed ? Event::kTouchBegin : Event::kTouchEnd, port, 0.0f});
}

int Lv2Ui::Resize(LV2UI_Feature_Handle handle, int width, int height) {
    auto* ui = static_cast<Lv2Ui*>(handle);
    ui->mWidth = width;
    ui->mHeight = height;
    return 0;
}
