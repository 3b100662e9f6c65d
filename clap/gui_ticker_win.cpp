#include <mutex>
#include <utility>
#include <vector>

#include "clap/gui_ticker.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

// Thread timers carry no context: their ids find the ticker.
std::mutex gTickersLock;
std::vector<std::pair<UINT_PTR, GuiTicker*>> gTickers;

GuiTicker* Find(UINT_PTR id) {
    std::lock_guard<std::mutex> lock(gTickersLock);
    for (const auto& entry : gTickers)
        if (entry.first == id) return entry.second;
    return nullptr;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (GuiTicker* ticker = Find(id)) ticker->Fire();
}

}  // namespace

bool GuiTicker::Start(unsigned periodMs) {
    if (mTimer) return true;
    const UINT_PTR id = SetTimer(nullptr, 0, periodMs, OnTimer);
    if (!id) return false;
    mTimer = id;
    std::lock_guard<std::mutex> lock(gTickersLock);
    gTickers.emplace_back(id, this);
    return true;
}

void GuiTicker::Stop() {
    if (!mTimer) return;
    const auto id = static_cast<UINT_PTR>(mTimer);
    KillTimer(nullptr, id);
    mTimer = 0;
    std::lock_guard<std::mutex> lock(gTickersLock);
    for (auto it = gTickers.begin(); it != gTickers.end(); ++it) {
        if (it->first == id) {
            gTickers.erase(it);
            return;
        }
    }
}
