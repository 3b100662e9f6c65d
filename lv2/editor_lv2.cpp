#include "lv2/editor_lv2.h"

#include <cmath>
#include <utility>

#include "editor/editor.h"

IEditorLV2::IEditorLV2(std::unique_ptr<IEffectBase> plugin, const HostCalls& host)
    : mHost(host), mExporter(std::move(plugin), this) {
    IEffectBase& p = Plugin();
    mLayout.params = p.ParamCount();
    LockGuard guard(p.Lock());
    p.OnHostKnown();
    for (int i = 0; i < p.ParamCount(); ++i) p.OnParameterChange(i);
}

IEditorLV2::~IEditorLV2() { mExporter.CloseEditor(); }

void* IEditorLV2::Open(void* parent, double scale) {
    if (!parent || !mExporter.HasEditor()) return nullptr;
    // No scale from the host is 1, exactly today's pixels: the screen's own
    // density is not asked.
    mExporter.SetEditorScale(std::isfinite(scale) && scale > 0.0 ? scale : 1.0);
    if (!mExporter.OpenEditor(parent)) return nullptr;
    mOpen = true;
    EditorResized();
    auto* editor = static_cast<IEditor*>(Plugin().Editor());
    return editor ? editor->EditorWindow() : nullptr;
}

void IEditorLV2::PortEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) {
    if (format != 0 || size != sizeof(float) || !buffer) return;
    const float value = *static_cast<const float*>(buffer);
    if (std::isnan(value)) return;
    IEffectBase& p = Plugin();
    if (mLayout.IsParam(port)) {
        LockGuard guard(p.Lock());
        // The host's echo of a value the editor wrote changes nothing: the
        // parameter keeps the editor's full precision.
        if (static_cast<float>(p.GetParam(static_cast<int>(port))->Value()) == value) return;
        ApplyLv2PortValue(p, static_cast<int>(port), Lv2PortValue(value));
        return;
    }
    if (port == mLayout.PowerLamp()) {
        mPowerLamp = value >= 0.5f;
    } else if (port >= mLayout.Meter(0) && port < mLayout.PowerLamp()) {
        mMeterLevels[port - mLayout.Meter(0)] = value;
    } else {
        return;
    }
    for (int m = 0; m < kVelmorLv2MeterCount; ++m) {
        IMeterReading reading;
        if (!p.ReadMeter(m, &reading)) continue;
        reading.level = mMeterLevels[m];
        reading.powerOn = mPowerLamp;
        p.ShowMeterReading(m, reading);
    }
}

int IEditorLV2::Idle() {
    if (!mOpen) return 0;
    mExporter.IdleEditor();
    return 0;
}

void IEditorLV2::SetScale(double scale) {
    if (!std::isfinite(scale) || scale <= 0.0) return;
    mExporter.SetEditorScale(scale);
}

void IEditorLV2::Touch(int index, bool grabbed) {
    if (mHost.touch && mHost.touch->touch && mLayout.IsParam(static_cast<std::uint32_t>(index))) {
        mHost.touch->touch(mHost.touch->handle, static_cast<std::uint32_t>(index), grabbed);
    }
}

void IEditorLV2::BeginEdit(int index) { Touch(index, true); }

void IEditorLV2::PerformEdit(int index, double /*normalized*/) {
    // The value the parameter took (the base has set it): what the editor
    // shows is what the host and the audio side get.
    const IParameter* param = Plugin().GetParam(index);
    if (!param || !mHost.write) return;
    const float value = static_cast<float>(param->Value());
    mHost.write(mHost.controller, static_cast<std::uint32_t>(index), sizeof value, 0, &value);
}

void IEditorLV2::EndEdit(int index) { Touch(index, false); }

void IEditorLV2::EditorResized() {
    if (!mOpen || !mHost.resize || !mHost.resize->ui_resize) return;
    mHost.resize->ui_resize(mHost.resize->handle, mExporter.EditorWidth(), mExporter.EditorHeight());
}
