#include "clap/gui_ticker.h"

bool GuiTicker::Start(unsigned) { return false; }
void GuiTicker::Stop() {}
