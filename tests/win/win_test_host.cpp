#include "tests/win/win_test_host.h"

namespace {

constexpr const char* kHostClassName = "VelmorTestHostFrame";

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN || msg == WM_KEYUP) HostWindow::Keys().push_back(ReceivedKey{msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterHostClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kHostClassName;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
}

}  // namespace

HostWindow::HostWindow(int x, int y, int width, int height) {
    RegisterHostClass();
    mWindow = CreateWindowExA(0, kHostClassName, "Velmor test host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Pump(20);
}

HostWindow::~HostWindow() { Destroy(); }

void HostWindow::Destroy() {
    if (mWindow && IsWindow(mWindow)) DestroyWindow(mWindow);
    mWindow = nullptr;
}

HWND HostWindow::EditorChild() const {
    return mWindow ? FindWindowExA(mWindow, nullptr, "IEffectWndClass", nullptr) : nullptr;
}

std::vector<ReceivedKey>& HostWindow::Keys() {
    static std::vector<ReceivedKey> keys;
    return keys;
}

void Pump(int ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= static_cast<DWORD>(ms)) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms) - elapsed, QS_ALLINPUT);
    }
}

bool PumpUntilPainted(HWND window, int timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(timeoutMs)) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (!GetUpdateRect(window, nullptr, FALSE)) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return false;
}

std::vector<std::uint32_t> CaptureWindow(HWND window, const IRectangle& rect) {
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    std::vector<std::uint32_t> pixels;
    if (w <= 0 || h <= 0) return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (windowDc && memoryDc && dib && bits) {
        HGDIOBJ old = SelectObject(memoryDc, dib);
        if (BitBlt(memoryDc, 0, 0, w, h, windowDc, rect.left, rect.top, SRCCOPY)) {
            GdiFlush();
            const auto* words = static_cast<const std::uint32_t*>(bits);
            pixels.reserve(static_cast<std::size_t>(w) * h);
            for (int i = 0; i < w * h; ++i) pixels.push_back(words[i] & 0x00FFFFFFu);
        }
        SelectObject(memoryDc, old);
    }
    if (dib) DeleteObject(dib);
    if (memoryDc) DeleteDC(memoryDc);
    if (windowDc) ReleaseDC(window, windowDc);
    return pixels;
}

bool EditorClassRegistered(const char* moduleName) {
    HMODULE module = GetModuleHandleA(moduleName);
    WNDCLASSA wc{};
    return module && GetClassInfoA(module, "IEffectWndClass", &wc) != 0;
}
