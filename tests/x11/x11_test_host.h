// A small X11 host for the editor tests: frame windows on the display that
// DISPLAY names (a private Xvfb server in the test command), real input
// through the XTest extension, effEditIdle on a timer, and windows' pixels
// read back with XGetImage.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "vst/vst2_abi.h"

class X11TestDisplay {
public:
    X11TestDisplay();
    ~X11TestDisplay();
    X11TestDisplay(const X11TestDisplay&) = delete;
    X11TestDisplay& operator=(const X11TestDisplay&) = delete;

    Display* Get() const { return mDisplay; }
    bool HasXTest() const { return mXTest; }

    // Pointer and buttons through XTest, at screen coordinates.
    void MoveTo(int x, int y);
    void Button(unsigned int button, bool down);
    void Click(unsigned int button, int x, int y);
    void Key(unsigned long keysym, bool down);

private:
    Display* mDisplay = nullptr;
    bool mXTest = false;
};

// A host's top-level frame at (x, y), mapped before the constructor returns.
// It takes key events, so keys the editor passes on arrive here.
class HostFrame {
public:
    HostFrame(Display* display, int x, int y, int width, int height);
    ~HostFrame();
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;

    Window Id() const { return mWindow; }
    void* Parent() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(mWindow)); }
    // The host closes its frame before effEditClose.
    void Destroy();
    // The frame's children: the editor's window once it is open.
    std::vector<Window> Children() const;
    // Reads events that arrived; key presses and releases are kept.
    void Drain();
    std::vector<XKeyEvent> Keys() const { return mKeys; }

private:
    Display* mDisplay;
    Window mWindow = 0;
    std::vector<XKeyEvent> mKeys;
};

// The X server's Xft.dpi resource set to dpi while it lives (the server's
// resources as they were after): what a VST 2.4 editor reads its scale from.
class ServerDpi {
public:
    ServerDpi(Display* display, int dpi);
    ~ServerDpi();
    ServerDpi(const ServerDpi&) = delete;
    ServerDpi& operator=(const ServerDpi&) = delete;

private:
    Display* mDisplay;
};

// Calls effEditIdle on every effect every 10 ms for ms milliseconds, as a
// host's GUI timer does, draining the frames' events in between.
void IdleFor(std::initializer_list<AEffect*> effects, std::initializer_list<HostFrame*> frames, int ms);

// The window's pixels as 0xRRGGBB words, row by row; empty on failure.
std::vector<std::uint32_t> WindowPixels(Display* display, Window window, int width, int height);
