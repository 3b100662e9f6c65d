#include "vst3/factory.h"

#include <string>

#include "base/bounded_copy.h"
#include "core/creation_lock.h"
#include "core/plugin_factory.h"
#include "vst3/effect_vst3.h"
#include "vst3/velmor_vst3_ids.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

// The interface version the header of this folder is written from; hosts
// expect "VST 3.x.y" here.
constexpr const char kSdkVersion[] = "VST 3.7.14";

// The names the base gives every format, read from one instance the first
// time a host asks (the same product, vendor and version as VST 2.4).
struct ClassNames {
    std::string name;
    std::string vendor;
    std::string version;
};

ClassNames ReadNames() {
    ClassNames names;
    LockGuard guard(CreationLock());
    try {
        std::unique_ptr<IEffectBase> plugin = CreatePluginInstance();
        if (!plugin) return names;
        names.name = plugin->EffectName();
        names.vendor = plugin->MakerName();
        const auto v = static_cast<std::uint32_t>(plugin->Version());  // 0xMMMMmmbb
        names.version =
            std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
    } catch (...) {
        // Out of memory: empty names, and createInstance will say so.
    }
    return names;
}

const ClassNames& Names() {
    static const ClassNames names = ReadNames();
    return names;
}

void CopyId(unsigned char (&cid)[16]) {
    for (int i = 0; i < 16; ++i) cid[i] = kVelmorVst3ClassId.bytes[i];
}

class Factory final : public IPluginFactory3 {
public:
    tresult queryInterface(const char* iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (SameUid(iid, kFUnknownIid) || SameUid(iid, kIPluginFactoryIid) || SameUid(iid, kIPluginFactory2Iid) ||
            SameUid(iid, kIPluginFactory3Iid)) {
            *obj = static_cast<IPluginFactory3*>(this);
            return kResultOk;
        }
        return kNoInterface;
    }
    // Static: references are counted by nobody.
    std::uint32_t addRef() override { return 1; }
    std::uint32_t release() override { return 1; }

    tresult getFactoryInfo(PFactoryInfo* info) override {
        if (!info) return kInvalidArgument;
        *info = PFactoryInfo{};
        CopyBounded(info->vendor, Names().vendor.c_str());
        info->flags = kFactoryUnicode;
        return kResultOk;
    }

    std::int32_t countClasses() override { return 1; }

    tresult getClassInfo(std::int32_t index, PClassInfo* info) override {
        if (!info || index != 0) return kInvalidArgument;
        *info = PClassInfo{};
        CopyId(info->cid);
        info->cardinality = kManyInstances;
        CopyBounded(info->category, kVstAudioEffectClass);
        CopyBounded(info->name, Names().name.c_str());
        return kResultOk;
    }

    tresult getClassInfo2(std::int32_t index, PClassInfo2* info) override {
        if (!info || index != 0) return kInvalidArgument;
        *info = PClassInfo2{};
        CopyId(info->cid);
        info->cardinality = kManyInstances;
        CopyBounded(info->category, kVstAudioEffectClass);
        CopyBounded(info->name, Names().name.c_str());
        info->classFlags = 0;  // processor and controller share memory: not distributable
        CopyBounded(info->subCategories, kVelmorVst3SubCategories);
        CopyBounded(info->vendor, Names().vendor.c_str());
        CopyBounded(info->version, Names().version.c_str());
        CopyBounded(info->sdkVersion, kSdkVersion);
        return kResultOk;
    }

    tresult getClassInfoUnicode(std::int32_t index, PClassInfoW* info) override {
        if (!info || index != 0) return kInvalidArgument;
        *info = PClassInfoW{};
        CopyId(info->cid);
        info->cardinality = kManyInstances;
        CopyBounded(info->category, kVstAudioEffectClass);
        CopyToUtf16(info->name, Names().name.c_str());
        info->classFlags = 0;
        CopyBounded(info->subCategories, kVelmorVst3SubCategories);
        CopyToUtf16(info->vendor, Names().vendor.c_str());
        CopyToUtf16(info->version, Names().version.c_str());
        CopyToUtf16(info->sdkVersion, kSdkVersion);
        return kResultOk;
    }

    // Instances: one reference for the caller, as the interface asked; a
    // class or interface of another plug-in gets nothing.
    tresult createInstance(const char* cid, const char* iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (!cid || !iid) return kInvalidArgument;
        if (!SameUid(cid, kVelmorVst3ClassId)) return kNoInterface;
        IEffectVST3* effect = IEffectVST3::Create();
        if (!effect) return kOutOfMemory;
        const tresult result = effect->QueryInterface(iid, obj);
        effect->Release();
        return result;
    }

    // Nothing is kept: a view finds the host's loop through its frame or the
    // instance's context.
    tresult setHostContext(FUnknown* /*context*/) override { return kResultOk; }
};

}  // namespace

IPluginFactory3* VST3Factory() {
    static Factory factory;
    return &factory;
}
