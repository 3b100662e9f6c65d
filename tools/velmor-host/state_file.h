// velmor-host's state files. A bare plug-in chunk says nothing about where
// it came from, so `state save` wraps the state in a small header of its
// own, and loading refuses anything without it: another plug-in's state, an
// audio file or random bytes never reach a plug-in.
//
// Layout, little-endian:
//   0   8  "VMHSTATE"
//   8   4  format version (1, or 2 for a plug-in known by a text id)
//   12  4  the plug-in's unique ID (0 in format 2 where it has none)
//   16  4  the plug-in's version
//   20  4  what follows: 0 bank chunk, 1 program chunk (or the bytes of a
//          plug-in's state stream), 2 parameter values, 3 a VST 3
//          plug-in's component and controller states
//   24  8  length of what follows, in bytes
//   32     the chunk as the plug-in gave it, or one 32-bit float normalised
//          value per parameter (for plug-ins without program chunks, whose
//          state hosts keep as parameter values)
// Kind 3 is the length of the component's state in 8 bytes, its bytes, then
// the controller's.
// Format 2 (plug-ins known by a text id: a CLAP id, a VST 3 class id as its
// 32 hexadecimal digits, an LV2 URI) puts the id between the header and
// what follows:
//   32  4  length of the text id in bytes, 1 to 4096
//   36     the text id, UTF-8, without a terminator
// A state without a text id is written in format 1, as it always was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// kLv2State: an LV2 plug-in's control port values and state properties
// (hosted_lv2.h), under the plug-in's URI as the text id.
enum class StateKind : std::uint32_t {
    kBankChunk = 0,
    kProgramChunk = 1,
    kParameters = 2,
    kComponentStates = 3,
    kLv2State = 4
};

struct PluginState {
    std::int32_t pluginId = 0;
    std::string pluginTextId;  // formats whose plug-ins are known by a text (CLAP); empty otherwise
    std::int32_t pluginVersion = 0;
    StateKind kind = StateKind::kProgramChunk;
    std::vector<std::uint8_t> payload;  // chunk bytes or float values
};

constexpr std::size_t kStateHeaderBytes = 32;
constexpr std::uint32_t kStateFormatVersion = 1;
constexpr std::uint32_t kTextIdStateFormatVersion = 2;
constexpr std::size_t kMaxStateTextId = 4096;

std::vector<std::uint8_t> EncodeState(const PluginState& state);

// Parses a state file's bytes; `name` is the file name for the one-line
// error (not a state file, a newer format, truncated, trailing bytes, a
// parameter list of odd length).
bool DecodeState(const std::vector<std::uint8_t>& bytes, const std::string& name, PluginState& state,
                 std::string& error);

// Two states to and from a kComponentStates payload; false when the payload
// is cut.
std::vector<std::uint8_t> EncodeComponentStates(const std::vector<std::uint8_t>& component,
                                                const std::vector<std::uint8_t>& controller);
bool DecodeComponentStates(const std::vector<std::uint8_t>& payload, std::vector<std::uint8_t>& component,
                           std::vector<std::uint8_t>& controller);

// Parameter values to and from a kParameters payload.
std::vector<std::uint8_t> EncodeParameterValues(const std::vector<float>& values);
std::vector<float> DecodeParameterValues(const std::vector<std::uint8_t>& payload);
