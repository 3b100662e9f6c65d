#include "vst/effect_vst.h"

#include <utility>

#include "vst/callbacks.h"
#include "vst/host_names.h"
#include "vst/host_text.h"
#include "vst/version_number.h"

namespace {

// The block size hosts most often use; scratch buffers exist before the host
// announces its own, so a host that processes without effSetBlockSize still
// has somewhere to widen its samples into.
constexpr int kInitialBlockSize = 1024;

VstInt32 ArrangementType(int channels) {
    switch (channels) {
        case 0:
            return kSpeakerArrEmpty;
        case 1:
            return kSpeakerArrMono;
        case 2:
            return kSpeakerArrStereo;
        default:
            return kSpeakerArrUserDefined;
    }
}

void FillArrangement(VstSpeakerArrangement& arrangement, int channels) {
    arrangement = VstSpeakerArrangement{};
    arrangement.type = ArrangementType(channels);
    arrangement.numChannels = channels;
}

// The host quirk hosts: only two inputs are fed, but every output is used.
bool HostFeedsTwoInputsOnly(int hostId) { return hostId == 15 || hostId == 17 || hostId == 20; }

}  // namespace

IEffectVST::IEffectVST(audioMasterCallback hostCallback, int paramCount, const char* channelIO, int presetCount,
                       const char* effectName, const char* productName, const char* makerName, int version,
                       int uniqueId, int latency, bool doesMidi, bool doesStateChunks, bool isInstrument)
    : IEffectBase(paramCount, channelIO, presetCount, effectName, productName, makerName, version, uniqueId, latency,
                  doesMidi, doesStateChunks, isInstrument),
      hostCallback(hostCallback) {
    record.magic = kEffectMagic;
    record.dispatcher = VSTDispatcher;
    record.process = VSTProcess;
    record.setParameter = VSTSetParameter;
    record.getParameter = VSTGetParameter;
    record.numPrograms = PresetCount();
    record.numParams = ParamCount();
    record.numInputs = InputCount();
    record.numOutputs = OutputCount();
    record.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (LegalIO(1, -1)) record.flags |= effFlagsCanMono;
    record.initialDelay = Latency();
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = UniqueId();
    record.version = DecimalFromPackedVersion(Version());
    record.processReplacing = VSTProcessReplacing;
    record.processDoubleReplacing = VSTProcessDoubleReplacing;

    FillArrangement(inputArrangement, InputCount());
    FillArrangement(outputArrangement, OutputCount());

    for (int i = 0; i < InputCount(); ++i) SetInputConnected(i, true);
    for (int i = 0; i < OutputCount(); ++i) SetOutputConnected(i, true);
    ResizeBlockBuffers(kInitialBlockSize);
}

IEffectVST::~IEffectVST() = default;

int IEffectVST::IdentifyHost() {
    if (HostId() != -1) return HostId();
    // Zeroed and terminated by us: a host may fill the whole buffer.
    char product[kHostProductBytes] = {};
    CallHost(audioMasterGetProductString, 0, 0, product);
    product[kHostProductBytes - 1] = '\0';
    int hostVersion = 0;
    if (product[0] != '\0') hostVersion = PackedFromDecimalVersion(CallHost(audioMasterGetVendorVersion));
    const int hostId = HostIdFromProductName(product);
    SetHostIdentity(hostId, hostVersion);
    return hostId;
}

void IEffectVST::ApplyHostQuirks() {
    if (hostQuirksDone) return;
    hostQuirksDone = true;
    if (HostFeedsTwoInputsOnly(IdentifyHost())) {
        for (int i = 2; i < InputCount(); ++i) SetInputConnected(i, false);
        for (int i = 2; i < OutputCount(); ++i) SetOutputConnected(i, true);
    }
    record.numInputs = InputCount();
    inputArrangement.numChannels = InputCount();
    record.numOutputs = OutputCount();
    outputArrangement.numChannels = OutputCount();
    OnHostKnown();
}

void IEffectVST::AttachEditor(std::unique_ptr<IEditorLink> editor) {
    if (!editor) return;
    IEffectBase::AttachEditor(std::move(editor));
    // A build without a window system keeps its editor to itself (it still
    // paints, for tools and tests): a host offered an editor that can never
    // open shows an empty frame.
    if (!Editor() || !Editor()->HasWindowSystem()) return;
    record.flags |= effFlagsHasEditor;
    editorRect = ERect{0, 0, static_cast<VstInt16>(Editor()->Height()), static_cast<VstInt16>(Editor()->Width())};
}

void IEffectVST::SyncEditorRect() {
    if (!Editor()) return;
    editorRect = ERect{0, 0, static_cast<VstInt16>(Editor()->Height()), static_cast<VstInt16>(Editor()->Width())};
    OnEditorResized();
}

void IEffectVST::ChangeLatency(int samples) {
    IEffectBase::ChangeLatency(samples);
    record.initialDelay = samples;
}
