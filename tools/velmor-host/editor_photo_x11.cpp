#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "raster/mem_bitmap.h"
#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/editor_photo.h"
#include "tools/velmor-host/plugin_instance.h"

// Xlib's macros last: they would rename names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;

// Linux hosts idle editors 25 to 60 times a second; this one 50.
constexpr std::chrono::milliseconds kIdlePeriod{20};
// A plug-in that announces no size before its window opens.
constexpr int kFallbackSize = 64;
// Sizes beyond this are not an editor's.
constexpr int kLargestSide = 8192;

int gXErrors = 0;
int CountXError(Display*, XErrorEvent*) {
    ++gXErrors;
    return 0;
}

bool EditorRect(PluginInstance& plugin, int* width, int* height) {
    int w = 0;
    int h = 0;
    if (!plugin.EditorSize(w, h)) return false;
    if (w <= 0 || h <= 0 || w > kLargestSide || h > kLargestSide) return false;
    *width = w;
    *height = h;
    return true;
}

// Plays the reader through the plug-in in real time, a block at a time,
// until the end of the file or stop; each input takes the file's channel of
// the same number, or its last one (mono files feed every input).
void Play(PluginInstance& plugin, AudioReader& reader, const std::atomic<bool>& stop) {
    const int block = plugin.MaxBlockSize();
    const int fileChannels = std::max(1, reader.Format().channels);
    const int ins = std::max(0, plugin.InputCount());
    const int outs = std::max(0, plugin.OutputCount());
    std::vector<double> interleaved(static_cast<std::size_t>(block) * fileChannels);
    std::vector<std::vector<float>> in(static_cast<std::size_t>(ins), std::vector<float>(block));
    std::vector<std::vector<float>> out(static_cast<std::size_t>(outs), std::vector<float>(block));
    std::vector<float*> inPointers, outPointers;
    for (auto& c : in) inPointers.push_back(c.data());
    for (auto& c : out) outPointers.push_back(c.data());
    const double rate = plugin.SampleRate();
    const Clock::time_point start = Clock::now();
    std::int64_t played = 0;
    std::string error;
    while (!stop.load()) {
        const std::int64_t got = reader.Read(interleaved.data(), block, error);
        if (got <= 0) break;
        for (int c = 0; c < ins; ++c) {
            const int source = std::min(c, fileChannels - 1);
            for (std::int64_t i = 0; i < got; ++i)
                in[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                    static_cast<float>(interleaved[static_cast<std::size_t>(i * fileChannels + source)]);
        }
        plugin.ProcessFloat(inPointers.data(), outPointers.data(), static_cast<int>(got));
        played += got;
        std::this_thread::sleep_until(start +
                                      std::chrono::microseconds(static_cast<std::int64_t>(played * 1e6 / rate)));
    }
}

// The X server's Xft.dpi resource set to scale x 96 while it lives, and
// the server's resources put back as they were after: VST 2.4 editors read
// their scale from it when they open. Only the Xft.dpi line changes.
class ServerDpi {
public:
    ServerDpi(Display* display, double scale) : mDisplay(display) {
        const char* now = XResourceManagerString(display);
        mHad = now != nullptr;
        if (now) mBefore = now;
        std::string resources;
        std::size_t start = 0;
        while (start < mBefore.size()) {
            std::size_t end = mBefore.find('\n', start);
            if (end == std::string::npos) end = mBefore.size();
            const std::string line = mBefore.substr(start, end - start);
            if (line.compare(0, 8, "Xft.dpi:") != 0 && !line.empty()) resources += line + "\n";
            start = end + 1;
        }
        char dpi[64];
        std::snprintf(dpi, sizeof dpi, "Xft.dpi:\t%d\n", static_cast<int>(scale * 96.0 + 0.5));
        resources += dpi;
        Store(resources);
    }
    ~ServerDpi() {
        if (mHad) {
            Store(mBefore);
        } else {
            XDeleteProperty(mDisplay, DefaultRootWindow(mDisplay), XA_RESOURCE_MANAGER);
            XSync(mDisplay, False);
        }
    }
    ServerDpi(const ServerDpi&) = delete;
    ServerDpi& operator=(const ServerDpi&) = delete;

private:
    void Store(const std::string& resources) {
        XChangeProperty(mDisplay, DefaultRootWindow(mDisplay), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
        XSync(mDisplay, False);
    }

    Display* mDisplay;
    bool mHad = false;
    std::string mBefore;
};

class Frame {
public:
    explicit Frame(Display* display) : mDisplay(display) {}
    ~Frame() {
        if (mWindow) XDestroyWindow(mDisplay, mWindow);
        XSync(mDisplay, False);
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    void Create(int width, int height) {
        const int screen = DefaultScreen(mDisplay);
        mWindow = XCreateSimpleWindow(mDisplay, RootWindow(mDisplay, screen), 0, 0, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, BlackPixel(mDisplay, screen),
                                      BlackPixel(mDisplay, screen));
        XStoreName(mDisplay, mWindow, "velmor-host editor");
        XSelectInput(mDisplay, mWindow, StructureNotifyMask);
        XMapWindow(mDisplay, mWindow);
        XEvent event;
        do {
            XWindowEvent(mDisplay, mWindow, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
    }
    void Resize(int width, int height) {
        XResizeWindow(mDisplay, mWindow, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XSync(mDisplay, False);
    }
    bool HasChild() const {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count)) return false;
        if (children) XFree(children);
        return count > 0;
    }
    void Drain() {
        XEvent event;
        while (XCheckWindowEvent(mDisplay, mWindow, StructureNotifyMask, &event)) {
        }
    }
    // The frame's pixels as they are on the screen, the editor's window
    // included; null when the server will not give them.
    std::unique_ptr<MemBitmap> Pixels(int width, int height) const {
        XImage* image = XGetImage(mDisplay, mWindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (!image) return nullptr;
        auto bitmap = std::make_unique<MemBitmap>(width, height);
        PackedPixel* pixels = bitmap->PixelPointer();
        if (pixels) {
            const Visual* visual = DefaultVisual(mDisplay, DefaultScreen(mDisplay));
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const unsigned long p = XGetPixel(image, x, y);
                    pixels[static_cast<std::ptrdiff_t>(y) * bitmap->RowStride() + x] =
                        PackedPixel{Channel(p, visual->blue_mask), Channel(p, visual->green_mask),
                                    Channel(p, visual->red_mask), 255};
                }
            }
        }
        XDestroyImage(image);
        return pixels ? std::move(bitmap) : nullptr;
    }
    unsigned long Parent() const { return mWindow; }

private:
    // One colour channel of a pixel, scaled to 8 bits.
    static std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1UL)) ++shift;
        const unsigned long bits = mask >> shift;
        const unsigned long value = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>(value * 255 / bits);
    }

    Display* mDisplay;
    Window mWindow = 0;
};

}  // namespace

bool EditorDisplayAvailable(std::string& error) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = XDisplayName(nullptr);
        error = name && *name ? std::string("cannot open the X display ") + name
                              : std::string("no X display (DISPLAY is not set); the editor command needs one");
        return false;
    }
    XCloseDisplay(display);
    return true;
}

std::unique_ptr<MemBitmap> PhotographEditor(PluginInstance& plugin, const EditorPhotoRequest& request,
                                            std::string& error) {
    error.clear();
    if (!plugin.HasEditor()) {
        error = plugin.Location() + " has no editor";
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        EditorDisplayAvailable(error);
        return nullptr;
    }
    // A plug-in's X errors on this connection must not end the host.
    XSetErrorHandler(CountXError);
    std::unique_ptr<MemBitmap> pixels;
    {
        std::unique_ptr<ServerDpi> dpi;
        if (request.scale != 1.0 && !plugin.SetEditorScale(request.scale)) {
            dpi = std::make_unique<ServerDpi>(display, request.scale);
        }
        Frame frame(display);
        int width = kFallbackSize;
        int height = kFallbackSize;
        const bool sized = EditorRect(plugin, &width, &height);
        frame.Create(width, height);
        std::string refusal;
        const bool opened = plugin.OpenEditor(display, frame.Parent(), refusal);
        // Some plug-ins answer 0 although their window opened.
        if (!opened && !frame.HasChild()) {
            error = refusal;
        } else {
            // Hosts ask for the size again after the open; some plug-ins only
            // know it then.
            int w = width;
            int h = height;
            if (EditorRect(plugin, &w, &h) && (w != width || h != height || !sized)) {
                width = w;
                height = h;
                frame.Resize(width, height);
            }
            plugin.Resume(false);
            std::atomic<bool> stop{false};
            std::thread audio;
            if (request.play) audio = std::thread([&] { Play(plugin, *request.play, stop); });
            const Clock::time_point end = Clock::now() + std::chrono::milliseconds(request.afterMs);
            Clock::time_point next = Clock::now();
            auto stopped = [&] { return request.interrupted && request.interrupted() != 0; };
            // Idles in steps of at most one period, so that a signal ends
            // the wait within 20 ms whatever --after says.
            while (!stopped() && Clock::now() < end) {
                plugin.IdleEditor();
                frame.Drain();
                next += kIdlePeriod;
                std::this_thread::sleep_until(std::min(next, end));
            }
            const bool interrupted = stopped();
            if (!interrupted) plugin.IdleEditor();
            XSync(display, False);
            stop.store(true);
            if (audio.joinable()) audio.join();
            if (!interrupted) pixels = frame.Pixels(width, height);
            plugin.CloseEditor();
            plugin.Suspend();
            if (!interrupted && !pixels) error = "could not read the editor's window from the X display";
        }
    }
    XCloseDisplay(display);
    return pixels;
}
