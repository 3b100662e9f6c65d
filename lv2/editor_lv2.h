// IEditorLV2: the LV2 adapter's editor, in a UI binary of its own (so the
// audio binary links no window system). It owns a plug-in instance of its
// own that runs no audio: the editor draws and hit-tests against it, the
// host's port events set its parameters and meters, and its edits go to the
// host as port writes (with touch begin and end where the host offers
// them). The window is an X11 child of the host's (ui:parent), driven by
// the idle interface only, its size told through ui:resize; the host's
// ui:scaleFactor option (at instantiation or later through the options
// interface) sets the editor's scale, and a host that gives none gets 1.
//
// Threads: every call on the host's UI thread.
#pragma once

#include <lv2/ui/ui.h>

#include <memory>

#include "core/exporter.h"
#include "core/plugin_host.h"
#include "lv2/port_layout.h"

class IEditorLV2 final : public IPluginHost {
public:
    struct HostCalls {
        LV2UI_Write_Function write = nullptr;
        LV2UI_Controller controller = nullptr;
        const LV2UI_Touch* touch = nullptr;    // may be null
        const LV2UI_Resize* resize = nullptr;  // may be null
    };
    // plugin may not be null.
    IEditorLV2(std::unique_ptr<IEffectBase> plugin, const HostCalls& host);
    ~IEditorLV2() override;
    IEditorLV2(const IEditorLV2&) = delete;
    IEditorLV2& operator=(const IEditorLV2&) = delete;

    IEffectBase& Plugin() const { return *mExporter.Plugin(); }

    // Opens the window in parent at scale (not a positive number: 1); the
    // window's id, or null when none could be made.
    void* Open(void* parent, double scale);
    // A control port's value from the host (format 0 only).
    void PortEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer);
    // The idle interface: 0 while the window lives.
    int Idle();
    // The options interface: a new scale resizes the window.
    void SetScale(double scale);

    // ---- Host services (IPluginHost): the editor's gestures. ----
    void BeginEdit(int index) override;
    void PerformEdit(int index, double normalized) override;
    void EndEdit(int index) override;
    void EditorResized() override;

private:
    void Touch(int index, bool grabbed);

    HostCalls mHost;
    Lv2PortLayout mLayout;
    float mMeterLevels[kVelmorLv2MeterCount] = {};
    bool mPowerLamp = true;
    bool mOpen = false;

    // Last: the plug-in goes first, while everything it may call still exists.
    PluginExporter mExporter;
};
