#include "editor/x11/x11_errors.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Registered {
    Display* display;
    unsigned long errors;
};

using ErrorHandler = int (*)(Display*, XErrorEvent*);

std::mutex gMutex;
std::vector<Registered> gDisplays;
ErrorHandler gReplaced = nullptr;

int EditorErrorHandler(Display* display, XErrorEvent* event) {
    ErrorHandler forward = nullptr;
    {
        std::lock_guard<std::mutex> hold(gMutex);
        for (Registered& r : gDisplays) {
            if (r.display == display) {
                ++r.errors;
                return 0;
            }
        }
        forward = gReplaced;
    }
    return forward ? forward(display, event) : 0;
}

unsigned long ErrorsOn(Display* display) {
    std::lock_guard<std::mutex> hold(gMutex);
    for (const Registered& r : gDisplays)
        if (r.display == display) return r.errors;
    return 0;
}

}  // namespace

void RegisterEditorDisplay(Display* display) {
    std::lock_guard<std::mutex> hold(gMutex);
    if (gDisplays.empty()) {
        ErrorHandler previous = XSetErrorHandler(EditorErrorHandler);
        gReplaced = previous == EditorErrorHandler ? nullptr : previous;
    }
    gDisplays.push_back(Registered{display, 0});
}

void UnregisterEditorDisplay(Display* display) {
    std::lock_guard<std::mutex> hold(gMutex);
    auto it = std::find_if(gDisplays.begin(), gDisplays.end(),
                           [display](const Registered& r) { return r.display == display; });
    if (it == gDisplays.end()) return;
    gDisplays.erase(it);
    if (!gDisplays.empty()) return;
    // A host that installed a handler of its own after ours keeps it.
    ErrorHandler current = XSetErrorHandler(gReplaced);
    if (current != EditorErrorHandler) XSetErrorHandler(current);
    gReplaced = nullptr;
}

XErrorScope::XErrorScope(Display* display) : mDisplay(display), mStart(ErrorsOn(display)) {}

bool XErrorScope::Failed() const {
    XSync(mDisplay, False);
    return ErrorsOn(mDisplay) != mStart;
}
