#include "clap/gui_ticker.h"

bool GuiTicker::Start(unsigned) {
    mTimer = 0;  // nothing runs here
    return false;
}
void GuiTicker::Stop() {}
