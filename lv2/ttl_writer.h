// The LV2 bundle's metadata, written from the plug-in's own declarations
// (its parameter table, names, meters) so it can never disagree with the
// code: the build runs lv2/make_ttl.cpp, which writes these two files.
#pragma once

#include <string>

#include "core/effect_base.h"

// manifest.ttl: both plug-ins and the editor, their binaries and the file
// that describes them.
std::string Lv2ManifestTtl(const std::string& dspBinary, const std::string& uiBinary, const std::string& dataFile);
// The plug-ins' description: names, classes, features and every port.
std::string Lv2PluginTtl(const IEffectBase& plugin);
