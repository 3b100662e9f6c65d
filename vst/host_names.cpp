#include "vst/host_names.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

// Search order, not host number order: earlier rows win when a product
// string contains several names.
constexpr HostNameEntry kHostNames[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"standalone", 24},
};

}  // namespace

const HostNameEntry* HostNameTable() { return kHostNames; }

int HostNameTableSize() { return static_cast<int>(sizeof(kHostNames) / sizeof(kHostNames[0])); }

int HostIdFromProductName(const char* productString) {
    if (!productString || !*productString) return 0;
    std::string lower(productString);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const HostNameEntry& entry : kHostNames) {
        if (lower.find(entry.text) != std::string::npos) return entry.hostId;
    }
    return 0;
}
