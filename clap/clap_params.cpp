// The params extension. Ids are the plug-in's parameter indexes (0..10,
// never renumbered) and values are the parameters' own units, as CLAP hosts
// keep them. The queries read the parameters' declarations, which never
// change after construction, and the value mirror: none takes the lock.
#include <cmath>
#include <cstring>

#include "base/bounded_copy.h"
#include "base/decimal_text.h"
#include "clap/effect_clap.h"

namespace {

bool IsStepped(const IParameter& p) { return p.Type() != kParamDouble; }

// A text for every step: the host may list them as choices.
bool IsEnum(const IParameter& p) {
    if (!IsStepped(p) || p.Step() <= 0.0) return false;
    for (double v = p.Min(); v <= p.Max(); v += p.Step()) {
        if (!p.DisplayTextFor(v)) return false;
    }
    return true;
}

}  // namespace

std::uint32_t IEffectCLAP::ParamCount() const { return static_cast<std::uint32_t>(Plugin().ParamCount()); }

bool IEffectCLAP::ParamInfo(std::uint32_t index, clap_param_info* info) const {
    const IParameter* param = index < ParamCount() ? Plugin().GetParam(static_cast<int>(index)) : nullptr;
    if (!param || !info) return false;
    std::memset(info, 0, sizeof *info);
    info->id = index;
    // Every parameter is the user's to automate (hosts show no other).
    info->flags = kClapParamIsAutomatable;
    if (IsStepped(*param)) info->flags |= kClapParamIsStepped;
    if (IsEnum(*param)) info->flags |= kClapParamIsEnum;
    info->cookie = nullptr;
    CopyBounded(info->name, sizeof info->name, param->Name());
    info->min_value = param->Min();
    info->max_value = param->Max();
    info->default_value = param->Default();
    return true;
}

bool IEffectCLAP::ParamValue(clap_id id, double* value) const {
    if (id >= ParamCount() || !value) return false;
    *value = mValues[id].load();
    return true;
}

bool IEffectCLAP::ValueToText(clap_id id, double value, char* out, std::uint32_t capacity) const {
    if (id >= ParamCount() || !out || capacity == 0 || std::isnan(value)) return false;
    // The display text the VST 2.4 build shows for the same value.
    Plugin().GetParam(static_cast<int>(id))->FormatValue(value, false, out, capacity, true);
    return true;
}

bool IEffectCLAP::TextToValue(clap_id id, const char* text, double* value) const {
    if (id >= ParamCount() || !text || !value) return false;
    const IParameter* param = Plugin().GetParam(static_cast<int>(id));
    if (param->DisplayTextCount() > 0) {
        // A parameter shown by texts takes exactly those.
        const int entry = param->FindDisplayText(text);
        if (entry < 0) return false;
        *value = param->DisplayTextAt(entry)->value;
        return true;
    }
    // A number, the rest ignored ("7 dB"); text without one is no value (a
    // host would otherwise set 0 for a typo).
    double v = 0.0;
    if (ReadLeadingDecimal(text, v) == 0 || std::isnan(v)) return false;
    *value = v < param->Min() ? param->Min() : (v > param->Max() ? param->Max() : v);
    return true;
}

void IEffectCLAP::ApplyPlainValue(int index, double value) {
    IEffectBase& p = Plugin();
    IParameter* param = p.GetParam(index);
    if (!param || std::isnan(value)) return;
    if (IsStepped(*param)) {
        // To the nearest step, as the normalised path rounds.
        param->SetFromNormalized(param->ValueToNormalized(value));
    } else {
        // The host's value exactly: no round trip through 0..1.
        param->SetClamped(value);
    }
    if (IEditorLink* editor = p.Editor()) {
        editor->ShowParameterInEditor(index, param->ValueToNormalized(param->Value()), true);
    }
    p.OnParameterChange(index);
    mValues[index].store(param->Value());
}

void IEffectCLAP::ApplyEvent(const clap_event_header& event) {
    // Events of other spaces are not ours to read; every parameter is
    // global, whatever note, port or channel a host names.
    if (event.space_id != kClapCoreEventSpaceId || event.type != kClapEventParamValue) return;
    if (event.size < sizeof(clap_event_param_value)) return;
    const auto& value = reinterpret_cast<const clap_event_param_value&>(event);
    if (value.param_id >= ParamCount()) return;
    ApplyPlainValue(static_cast<int>(value.param_id), value.value);
}

void IEffectCLAP::ApplyEvents(const clap_input_events* in, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t i = from; i < to; ++i) {
        if (const clap_event_header* event = in->get(in, i)) ApplyEvent(*event);
    }
}

void IEffectCLAP::SendEdits(const clap_output_events* out) {
    if (!out || !out->try_push) return;
    mEdits.Drain(
        [out](const EditQueue::Edit& edit) {
            if (edit.kind == EditQueue::Kind::kValue) {
                clap_event_param_value event{};
                event.header = {sizeof event, 0, kClapCoreEventSpaceId, kClapEventParamValue, kClapEventIsLive};
                event.param_id = static_cast<clap_id>(edit.index);
                event.cookie = nullptr;
                event.note_id = -1;
                event.port_index = -1;
                event.channel = -1;
                event.key = -1;
                event.value = edit.value;
                return out->try_push(out, &event.header);
            }
            clap_event_param_gesture event{};
            const std::uint16_t type =
                edit.kind == EditQueue::Kind::kBegin ? kClapEventParamGestureBegin : kClapEventParamGestureEnd;
            event.header = {sizeof event, 0, kClapCoreEventSpaceId, type, kClapEventIsLive};
            event.param_id = static_cast<clap_id>(edit.index);
            return out->try_push(out, &event.header);
        },
        [this](int index) { return mValues[index].load(); });
}

void IEffectCLAP::Flush(const clap_input_events* in, const clap_output_events* out) {
    {
        LockGuard guard(Plugin().Lock());
        if (in && in->size && in->get) ApplyEvents(in, 0, in->size(in));
        SendEdits(out);
    }
    // Inactive, this is the main thread; active, the audio thread.
    SendHostRequests(!mActive);
}
