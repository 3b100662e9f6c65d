// IEditController: the parameters as hosts list, show and type them, the
// controller's values, and the editor's view. UI thread.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "vst3/effect_vst3.h"
#include "vst3/plug_view.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

// Switches have two states, Mode five; the rest are continuous.
std::int32_t StepCount(const IParameter& p) {
    if (p.Type() == kParamDouble || !(p.Step() > 0.0)) return 0;
    return static_cast<std::int32_t>(std::lround((p.Max() - p.Min()) / p.Step()));
}

// What LoadState stores for a chunk's value, normalised: a NaN counts as 0,
// then the range holds it.
double StoredNormalized(const IParameter& p, double plain) {
    return p.ValueToNormalized(std::isnan(plain) ? 0.0 : plain);
}

}  // namespace

tresult VST3Controller::setComponentState(IBStream* state) {
    IStateChunk chunk;
    if (!mOwner.ReadState(state, chunk)) return kResultFalse;
    int position = 0;
    ReadStateHeader(chunk, position);
    IEffectBase& p = mOwner.Plugin();
    for (int i = 0; i < p.ParamCount() && position >= 0; ++i) {
        double plain = 0.0;
        position = chunk.ReadValue(plain, position);
        if (position >= 0) mOwner.SetControllerValue(i, StoredNormalized(*p.GetParam(i), plain));
    }
    return kResultOk;
}

tresult VST3Controller::setState(IBStream* /*state*/) { return kResultOk; }
tresult VST3Controller::getState(IBStream* /*state*/) { return kResultOk; }

std::int32_t VST3Controller::getParameterCount() { return mOwner.Plugin().ParamCount(); }

tresult VST3Controller::getParameterInfo(std::int32_t paramIndex, ParameterInfo* info) {
    const IParameter* p = mOwner.Plugin().GetParam(paramIndex);
    if (!info || !p) return kInvalidArgument;
    *info = ParameterInfo{};
    // The index is the id, kept forever: hosts store automation by it.
    info->id = static_cast<ParamID>(paramIndex);
    CopyToUtf16(info->title, p->Name());
    CopyToUtf16(info->shortTitle, p->Name());
    CopyToUtf16(info->units, p->Label());
    info->stepCount = StepCount(*p);
    info->defaultNormalizedValue = p->ValueToNormalized(p->Default());
    info->unitId = 0;
    info->flags = kCanAutomate;
    if (p->Type() == kParamInt && p->DisplayTextCount() > 0) info->flags |= kIsList;
    return kResultOk;
}

// The text of the value the parameter would store for valueNormalized (a
// stepped one rounds), so a host's lane shows what will be heard.
tresult VST3Controller::getParamStringByValue(ParamID id, ParamValue valueNormalized, char16* string) {
    IEffectBase& plugin = mOwner.Plugin();
    const IParameter* p = plugin.GetParam(static_cast<int>(id));
    if (!p || !string || std::isnan(valueNormalized)) return kInvalidArgument;
    char text[kParamTextSize] = {};
    {
        LockGuard guard(plugin.Lock());
        p->FormatValue(p->ValueForNormalized(valueNormalized), false, text, sizeof text, true);
    }
    CopyToUtf16(string, 128, text);
    return kResultOk;
}

// The normalised value that the parameter turns back into the typed value
// exactly where one exists (a value's round trip through 0..1 can land one
// step of the last bit away), so typing "3.3" gives what VST 2.4 gives.
tresult VST3Controller::getParamValueByString(ParamID id, char16* string, ParamValue* valueNormalized) {
    IEffectBase& plugin = mOwner.Plugin();
    const IParameter* p = plugin.GetParam(static_cast<int>(id));
    if (!p || !string || !valueNormalized) return kInvalidArgument;
    const std::string text = Utf8FromUtf16(string, 128);
    double plain = 0.0;
    if (!mOwner.Exporter().ParseParameterText(static_cast<int>(id), text.c_str(), &plain)) return kResultFalse;
    LockGuard guard(plugin.Lock());
    const double wanted = std::clamp(plain, p->Min(), p->Max());
    const double n = p->ValueToNormalized(plain);
    double best = n;
    for (double x = n, y = n, step = 0; step < 4 && p->ValueForNormalized(best) != wanted; ++step) {
        x = std::nextafter(x, 2.0);
        y = std::nextafter(y, -1.0);
        if (x <= 1.0 && p->ValueForNormalized(x) == wanted) best = x;
        if (y >= 0.0 && p->ValueForNormalized(y) == wanted) best = y;
    }
    *valueNormalized = best;
    return kResultOk;
}

ParamValue VST3Controller::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
    IEffectBase& plugin = mOwner.Plugin();
    const IParameter* p = plugin.GetParam(static_cast<int>(id));
    if (!p) return 0.0;
    LockGuard guard(plugin.Lock());
    return p->ValueForNormalized(valueNormalized);
}

ParamValue VST3Controller::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    return mOwner.Plugin().NormalizeParameterValue(static_cast<int>(id), plainValue);
}

ParamValue VST3Controller::getParamNormalized(ParamID id) { return mOwner.ControllerValue(static_cast<int>(id)); }

// The controller's value and the editor's controls; the audio gets the
// value through process, as automation does.
tresult VST3Controller::setParamNormalized(ParamID id, ParamValue value) {
    IEffectBase& plugin = mOwner.Plugin();
    const IParameter* p = plugin.GetParam(static_cast<int>(id));
    if (!p || std::isnan(value)) return kInvalidArgument;
    mOwner.SetControllerValue(static_cast<int>(id), value);
    if (IEditorLink* editor = plugin.Editor()) {
        LockGuard guard(plugin.Lock());
        editor->ShowParameterInEditor(static_cast<int>(id), p->ValueToNormalized(p->ValueForNormalized(value)), true);
    }
    return kResultOk;
}

tresult VST3Controller::setComponentHandler(IComponentHandler* handler) {
    mOwner.SetHandler(handler);
    return kResultOk;
}

IPlugView* VST3Controller::createView(FIDString name) {
    if (name && std::strcmp(name, kEditorViewType) != 0) return nullptr;
    if (!mOwner.Exporter().HasEditor()) return nullptr;
    return VST3View::Create(mOwner);
}
