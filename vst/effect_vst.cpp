#include "vst/effect_vst.h"

#include <utility>

#include "vst/callbacks.h"
#include "vst/host_names.h"
#include "vst/host_text.h"
#include "vst/version_number.h"

namespace {

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

IEffectVST::IEffectVST(audioMasterCallback hostCallback, std::unique_ptr<IEffectBase> plugin)
    : hostCallback(hostCallback), mExporter(std::move(plugin), this) {
    IEffectBase& p = Plugin();
    record.magic = kEffectMagic;
    record.dispatcher = VSTDispatcher;
    record.process = VSTProcess;
    record.setParameter = VSTSetParameter;
    record.getParameter = VSTGetParameter;
    record.numPrograms = p.PresetCount();
    record.numParams = p.ParamCount();
    record.numInputs = p.InputCount();
    record.numOutputs = p.OutputCount();
    record.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (p.LegalIO(1, -1)) record.flags |= effFlagsCanMono;
    record.initialDelay = p.Latency();
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = p.UniqueId();
    record.version = DecimalFromPackedVersion(p.Version());
    record.processReplacing = VSTProcessReplacing;
    record.processDoubleReplacing = VSTProcessDoubleReplacing;

    FillArrangement(inputArrangement, p.InputCount());
    FillArrangement(outputArrangement, p.OutputCount());
    AnnounceEditor();
}

IEffectVST::~IEffectVST() = default;

int IEffectVST::IdentifyHost(int* version) {
    // Zeroed and terminated by us: a host may fill the whole buffer.
    char product[kHostProductBytes] = {};
    CallHost(audioMasterGetProductString, 0, 0, product);
    product[kHostProductBytes - 1] = '\0';
    int hostVersion = 0;
    if (product[0] != '\0') hostVersion = PackedFromDecimalVersion(CallHost(audioMasterGetVendorVersion));
    if (version) *version = hostVersion;
    return HostIdFromProductName(product);
}

void IEffectVST::ApplyHostQuirks() {
    if (hostQuirksDone) return;
    hostQuirksDone = true;
    IEffectBase& p = Plugin();
    if (HostFeedsTwoInputsOnly(p.IdentifyHost())) {
        for (int i = 2; i < p.InputCount(); ++i) p.SetInputConnected(i, false);
        for (int i = 2; i < p.OutputCount(); ++i) p.SetOutputConnected(i, true);
    }
    record.numInputs = p.InputCount();
    inputArrangement.numChannels = p.InputCount();
    record.numOutputs = p.OutputCount();
    outputArrangement.numChannels = p.OutputCount();
    p.OnHostKnown();
}

// A build without a window system keeps its editor to itself (it still
// paints, for tools and tests): a host offered an editor that can never open
// shows an empty frame.
void IEffectVST::AnnounceEditor() {
    if (!mExporter.HasEditor()) return;
    record.flags |= effFlagsHasEditor;
    editorRect =
        ERect{0, 0, static_cast<VstInt16>(mExporter.EditorHeight()), static_cast<VstInt16>(mExporter.EditorWidth())};
}

void IEffectVST::EditorAttached() { AnnounceEditor(); }

void IEffectVST::EditorResized() {
    if (!mExporter.HasEditor()) return;
    const int width = mExporter.EditorWidth();
    const int height = mExporter.EditorHeight();
    editorRect = ERect{0, 0, static_cast<VstInt16>(height), static_cast<VstInt16>(width)};
    // A host with the window open resizes its frame to it; before the open
    // it reads the rectangle at effEditGetRect.
    if (Plugin().Editor()->IsWindowOpen()) CallHost(audioMasterSizeWindow, width, height);
}

void IEffectVST::LatencyChanged(int samples) {
    record.initialDelay = samples;
    // Hosts read initialDelay again when told the plug-in's I/O changed.
    CallHost(audioMasterIOChanged);
}
