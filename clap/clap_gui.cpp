// The gui extension, embedded only: "x11" on Linux, driven by the host's
// timer (repaints) and by its watch on the editor's X connection (input),
// "win32" on Windows, where the editor's window has a timer of its own and a
// thread timer sends the host the requests the editor's edits raised. All of
// it on the main thread, without the plug-in lock (the exporter's editor
// calls take it only for a moment).
#include <cmath>
#include <cstdint>
#include <cstring>

#include "clap/effect_clap.h"
#include "clap/gui_ticker.h"

namespace {

#if defined(_WIN32)
constexpr const char* kWindowApi = kClapWindowApiWin32;
#else
constexpr const char* kWindowApi = kClapWindowApiX11;
#endif

// The editor paints at its own frame rate from ticks at least this often
// (hosts may slow them: one known host ticks at 30 ms at the most).
constexpr std::uint32_t kTickMs = 20;

void TickAdapter(void* adapter) { static_cast<IEffectCLAP*>(adapter)->Tick(); }

}  // namespace

bool IEffectCLAP::IsApiSupported(const char* api, bool floating) const {
    return api && !floating && mExporter.HasEditor() && std::strcmp(api, kWindowApi) == 0;
}

bool IEffectCLAP::PreferredApi(const char** api, bool* floating) const {
    if (!api || !floating || !mExporter.HasEditor()) return false;
    *api = kWindowApi;
    *floating = false;
    return true;
}

bool IEffectCLAP::CreateGui(const char* api, bool floating) {
    if (!IsApiSupported(api, floating)) return false;
#if !defined(_WIN32)
    // Without the host's timer nothing would ever paint the window.
    if (!mHostTimers) return false;
#endif
    mGuiCreated = true;
    return true;
}

void IEffectCLAP::DestroyGui() {
    if (!mGuiCreated) return;
    StopGuiTimers();
    if (mEditorOpen) mExporter.CloseEditor();
    mEditorOpen = false;
    mGuiShown = false;
    mGuiCreated = false;
    // Edits of the last moments still reach the host.
    SendHostRequests(true);
}

// The one place editor sizes come from: physical pixels, at the editor's
// scale.
bool IEffectCLAP::GuiSize(std::uint32_t* width, std::uint32_t* height) const {
    if (!width || !height || !mExporter.HasEditor()) return false;
    *width = static_cast<std::uint32_t>(mExporter.EditorWidth());
    *height = static_cast<std::uint32_t>(mExporter.EditorHeight());
    return true;
}

bool IEffectCLAP::AdjustGuiSize(std::uint32_t* width, std::uint32_t* height) const {
    // The nearest usable size of a fixed editor is its own.
    return GuiSize(width, height);
}

bool IEffectCLAP::SetGuiSize(std::uint32_t width, std::uint32_t height) const {
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    return GuiSize(&w, &h) && width == w && height == h;
}

bool IEffectCLAP::SetGuiScale(double scale) {
    if (!mGuiCreated || !(scale > 0.0) || !std::isfinite(scale)) return false;
    // A host has been seen to send percent (100 for 1x).
    if (scale > 8.0) scale /= 100.0;
#if !defined(_WIN32)
    // The window is made again with a connection of its own at a new size:
    // the host stops watching the old one before it closes, and watches the
    // new one (StartGuiTimers keeps the timer it has).
    if (mFd >= 0) {
        if (mHostFds) mHostFds->unregister_fd(mHost, mFd);
        mFd = -1;
    }
#endif
    mExporter.SetEditorScale(scale);
#if !defined(_WIN32)
    if (mEditorOpen && mGuiShown) StartGuiTimers();
#endif
    return true;
}

void IEffectCLAP::EditorResized() {
    if (!mEditorOpen || !mHostGui) return;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (GuiSize(&width, &height)) mHostGui->request_resize(mHost, width, height);
}

bool IEffectCLAP::SetParent(const clap_window* window) {
    if (!mGuiCreated || !window || !window->api || std::strcmp(window->api, kWindowApi) != 0) return false;
#if defined(_WIN32)
    void* parent = window->win32;
#else
    // The X11 member is the window id itself, not a pointer to one.
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->x11));
#endif
    if (!parent) return false;
    if (mEditorOpen) {
        StopGuiTimers();
        mExporter.CloseEditor();
        mEditorOpen = false;
    }
    // The window is made, mapped and painted here: hosts that never call
    // show still see the editor.
    if (!mExporter.OpenEditor(parent)) return false;
    mEditorOpen = true;
    if (!StartGuiTimers()) {
        mExporter.CloseEditor();
        mEditorOpen = false;
        return false;
    }
    mGuiShown = true;
    return true;
}

bool IEffectCLAP::ShowGui() {
    if (!mEditorOpen) return false;
    if (!mGuiShown && !StartGuiTimers()) return false;
    mGuiShown = true;
    return true;
}

bool IEffectCLAP::HideGui() {
    if (!mEditorOpen) return false;
    StopGuiTimers();
    mGuiShown = false;
    return true;
}

bool IEffectCLAP::StartGuiTimers() {
#if defined(_WIN32)
    if (!mTicker) mTicker = std::make_unique<GuiTicker>(TickAdapter, this);
    return mTicker->Start(kTickMs);
#else
    (void)TickAdapter;
    if (mTimer == kClapInvalidId && !mHostTimers->register_timer(mHost, kTickMs, &mTimer)) {
        mTimer = kClapInvalidId;
        return false;
    }
    // Input is handled as it arrives where the host watches the
    // connection; otherwise at the next tick.
    const IEditorLink* editor = Plugin().Editor();
    const int fd = editor ? editor->WindowEventFd() : -1;
    if (mFd < 0 && fd >= 0 && mHostFds && mHostFds->register_fd(mHost, fd, kClapPosixFdRead)) mFd = fd;
    return true;
#endif
}

void IEffectCLAP::StopGuiTimers() {
#if defined(_WIN32)
    if (mTicker) mTicker->Stop();
#else
    if (mTimer != kClapInvalidId && mHostTimers) mHostTimers->unregister_timer(mHost, mTimer);
    mTimer = kClapInvalidId;
    if (mFd >= 0 && mHostFds) mHostFds->unregister_fd(mHost, mFd);
    mFd = -1;
#endif
}

void IEffectCLAP::OnTimer(clap_id timer) {
    if (timer == mTimer && timer != kClapInvalidId) Tick();
}

void IEffectCLAP::OnFd(int fd, std::uint32_t /*flags*/) {
    if (fd == mFd && fd >= 0) Tick();
}

void IEffectCLAP::Tick() {
#if !defined(_WIN32)
    if (mEditorOpen) {
        mExporter.IdleEditor();
        // A window that went with the host's frame takes its connection
        // along: the host must not watch a closed descriptor.
        const IEditorLink* editor = Plugin().Editor();
        if (mFd >= 0 && (!editor || editor->WindowEventFd() != mFd)) {
            if (mHostFds) mHostFds->unregister_fd(mHost, mFd);
            mFd = -1;
        }
    }
#endif
    SendHostRequests(true);
}
