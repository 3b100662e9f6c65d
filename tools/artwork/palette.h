// The colours of the faceplate, the meter and the controls, in one place so
// every picture agrees.
#pragma once

#include "canvas.h"

namespace art {

// Faceplate: dark graphite anodising, lit softly from above.
constexpr Rgb kPlate = {0.155, 0.160, 0.172};
constexpr Rgb kPlateShade = {0.085, 0.088, 0.096};
constexpr Rgb kPlateRecess = {0.060, 0.062, 0.068};
// Silk-screen legends and the gold of the wordmark.
constexpr Rgb kLegend = {0.870, 0.850, 0.790};
constexpr Rgb kLegendDim = {0.600, 0.590, 0.560};
constexpr Rgb kGold = {0.860, 0.690, 0.400};

// Screws and metal parts.
constexpr Rgb kSteelLight = {0.880, 0.880, 0.870};
constexpr Rgb kSteel = {0.620, 0.625, 0.630};
constexpr Rgb kSteelDark = {0.300, 0.305, 0.315};

// Meter: a cream card lit from behind, black print, a red zone.
constexpr Rgb kFaceWarm = {0.990, 0.925, 0.760};
constexpr Rgb kFaceEdge = {0.880, 0.760, 0.540};
constexpr Rgb kInk = {0.090, 0.075, 0.060};
constexpr Rgb kRedZone = {0.780, 0.120, 0.090};
constexpr Rgb kNeedleRed = {0.860, 0.060, 0.040};
constexpr Rgb kLampCold = {0.020, 0.018, 0.016};
constexpr Rgb kLampEmber = {0.560, 0.200, 0.020};

// Knobs: black bakelite bodies on a machined aluminium skirt.
constexpr Rgb kKnobBlack = {0.045, 0.045, 0.050};
constexpr Rgb kKnobEdge = {0.150, 0.150, 0.160};
constexpr Rgb kPointer = {0.960, 0.950, 0.920};

// Button lenses, unlit and lit.
constexpr Rgb kLensRedOff = {0.230, 0.050, 0.040};
constexpr Rgb kLensRedOn = {1.000, 0.280, 0.160};
constexpr Rgb kLensAmberOff = {0.240, 0.150, 0.050};
constexpr Rgb kLensAmberOn = {1.000, 0.720, 0.260};
constexpr Rgb kLedGreenOff = {0.060, 0.170, 0.060};
constexpr Rgb kLedGreenOn = {0.300, 1.000, 0.350};
constexpr Rgb kLedRedOff = {0.200, 0.040, 0.030};
constexpr Rgb kLedRedOn = {1.000, 0.200, 0.120};

}  // namespace art
