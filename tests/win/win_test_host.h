// What a Windows host does around a plug-in's editor, for the editor window
// tests: top-level windows that record the keys reaching them, a message
// pump, and captures of a window's pixels through GDI.
#pragma once

#include <cstdint>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "raster/rectangle.h"

struct ReceivedKey {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// A borderless top-level window at (x, y) of the screen, as large as the
// editor, standing in for the host's plug-in frame.
class HostWindow {
public:
    HostWindow(int x, int y, int width = 456, int height = 416);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Handle() const { return mWindow; }
    // Destroys the window now (the host closing its frame); children go too.
    void Destroy();
    // The editor's child window inside it, or null.
    HWND EditorChild() const;

    // Key messages the window procedure received, in order.
    static std::vector<ReceivedKey>& Keys();

private:
    HWND mWindow = nullptr;
};

// Dispatches this thread's messages for ms milliseconds.
void Pump(int ms);
// Dispatches messages until window has nothing left to paint (or timeoutMs
// passes); true when it got there.
bool PumpUntilPainted(HWND window, int timeoutMs = 5000);

// The window's client area as the screen shows it, one 0xAARRGGBB word per
// pixel with the alpha byte cleared, row by row; rect is in client pixels.
std::vector<std::uint32_t> CaptureWindow(HWND window, const IRectangle& rect);

// Whether the library with this file name has registered the editor's
// window class.
bool EditorClassRegistered(const char* moduleName = "Velmor.dll");
