// The UI module's one export, lv2ui_descriptor: Velmor's editor as an X11
// UI for both plug-ins, with the idle interface (its only driver) and the
// options interface (the host's scale factor after instantiation).
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <memory>

#include "core/creation_lock.h"
#include "core/plugin_factory.h"
#include "lv2/editor_lv2.h"
#include "lv2/velmor_lv2_ids.h"

namespace {

const void* Feature(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    }
    return nullptr;
}

// The instance and what it needs to read the host's options later.
struct UiInstance {
    std::unique_ptr<IEditorLV2> editor;
    LV2_URID scaleKey = 0;
    LV2_URID floatType = 0;
};

UiInstance* Ui(LV2UI_Handle handle) { return static_cast<UiInstance*>(handle); }

// The scale factor among options, or 0 when they hold none.
double ScaleFactor(const UiInstance& ui, const LV2_Options_Option* options) {
    for (const LV2_Options_Option* o = options; o && o->key; ++o) {
        if (o->key == ui.scaleKey && ui.scaleKey && o->type == ui.floatType && o->size == sizeof(float) && o->value) {
            return *static_cast<const float*>(o->value);
        }
    }
    return 0.0;
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (!pluginUri ||
        (std::strcmp(pluginUri, kVelmorLv2StereoUri) != 0 && std::strcmp(pluginUri, kVelmorLv2MonoUri) != 0))
        return nullptr;
    void* parent = const_cast<void*>(Feature(features, LV2_UI__parent));
    if (!parent || !widget) return nullptr;
    IEditorLV2::HostCalls host;
    host.write = write;
    host.controller = controller;
    host.touch = static_cast<const LV2UI_Touch*>(Feature(features, LV2_UI__touch));
    host.resize = static_cast<const LV2UI_Resize*>(Feature(features, LV2_UI__resize));
    try {
        auto ui = std::make_unique<UiInstance>();
        if (const auto* map = static_cast<const LV2_URID_Map*>(Feature(features, LV2_URID__map)); map && map->map) {
            ui->scaleKey = map->map(map->handle, LV2_UI__scaleFactor);
            ui->floatType = map->map(map->handle, LV2_ATOM__Float);
        }
        const double scale =
            ScaleFactor(*ui, static_cast<const LV2_Options_Option*>(Feature(features, LV2_OPTIONS__options)));
        {
            LockGuard guard(CreationLock());
            std::unique_ptr<IEffectBase> plugin = CreatePluginInstance();
            if (!plugin) return nullptr;
            ui->editor = std::make_unique<IEditorLV2>(std::move(plugin), host);
        }
        void* window = ui->editor->Open(parent, scale);
        if (!window) return nullptr;
        *widget = window;
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void Cleanup(LV2UI_Handle handle) {
    std::unique_ptr<UiInstance> ui(Ui(handle));
    if (!ui) return;
    // The editor closes its window first; the plug-in goes under the lock
    // that made it.
    LockGuard guard(CreationLock());
    ui->editor.reset();
}

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    Ui(handle)->editor->PortEvent(port, size, format, buffer);
}

int Idle(LV2UI_Handle handle) { return Ui(handle)->editor->Idle(); }

uint32_t GetOptions(LV2_Handle, LV2_Options_Option*) { return LV2_OPTIONS_ERR_UNKNOWN; }

uint32_t SetOptions(LV2_Handle handle, const LV2_Options_Option* options) {
    UiInstance* ui = Ui(handle);
    const double scale = ScaleFactor(*ui, options);
    if (scale > 0.0) ui->editor->SetScale(scale);
    return LV2_OPTIONS_SUCCESS;
}

const LV2UI_Idle_Interface kIdle = {Idle};
const LV2_Options_Interface kOptions = {GetOptions, SetOptions};

const void* ExtensionData(const char* uri) {
    if (!uri) return nullptr;
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptions;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kVelmorLv2UiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
