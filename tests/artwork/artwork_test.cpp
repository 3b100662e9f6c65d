// The generated artwork, checked on its own pixels. Expected sizes come from
// the editor's bitmap table, not from the generator; printed scales are found
// on the background and meter face and compared with the needle and pointer
// found on the knob and needle strips.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/frame_for_value.h"
#include "plugin/needle_math.h"
#include "raster/png_loader.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::unique_ptr<IRasterBitmap> Load(const std::string& name) {
    const std::string path = std::string(VELMOR_ARTWORK_DIR) + "/" + name;
    return std::unique_ptr<IRasterBitmap>(LoadPngFromFile(path.c_str()));
}

PackedPixel At(const IRasterBitmap& bitmap, int x, int y) {
    return bitmap.PixelPointer()[static_cast<std::ptrdiff_t>(y) * bitmap.RowStride() + x];
}

// Pixels a picture must leave transparent along each edge of every frame.
struct Margins {
    int left;
    int top;
    int right;
    int bottom;
};

// Opaque pictures are painted first (background) or fill their rectangle
// (meter faces); every other one is drawn with alpha over something.
enum class Kind { Opaque, Overlay };

struct Expected {
    const char* file;
    int width;
    int frameHeight;
    int frames;
    Kind kind;
    Margins clear;
};

constexpr Margins kEdge = {1, 1, 1, 1};
constexpr Margins kCornersOnly = {0, 0, 0, 0};

const Expected kStrips[] = {
    {"Orvane-Background.png", 457, 416, 1, Kind::Opaque, kCornersOnly},
    {"Velmor_Knob.png", 128, 128, 240, Kind::Overlay, kEdge},
    {"Velmor_Knob_Small.png", 80, 80, 240, Kind::Overlay, kEdge},
    {"Lim.png", 56, 56, 2, Kind::Overlay, kEdge},
    // Power is drawn after both knobs and the small switches and overlaps
    // each knob by 14 columns and the switches by its bottom 7 rows: there
    // it must show what lies below.
    {"Velmor_Switch.png", 100, 100, 2, Kind::Overlay, {14, 1, 14, 7}},
    {"PresComp_Background.png", 264, 136, 1, Kind::Opaque, kCornersOnly},
    {"FinalComp_Background.png", 264, 136, 1, Kind::Opaque, kCornersOnly},
    {"Red_Needle.png", 264, 136, 240, Kind::Overlay, kCornersOnly},
    {"Frame.png", 264, 136, 1, Kind::Overlay, kCornersOnly},
    {"Cap.png", 264, 136, 1, Kind::Overlay, kCornersOnly},
    {"Off_State.png", 264, 136, 60, Kind::Overlay, kCornersOnly},
    {"On_State.png", 264, 136, 60, Kind::Overlay, kCornersOnly},
    {"Green_Led.png", 16, 16, 2, Kind::Overlay, kEdge},
    {"Red_Led.png", 16, 16, 2, Kind::Overlay, kEdge},
    {"ModeA.png", 50, 50, 2, Kind::Overlay, kEdge},
    {"ModeB.png", 50, 50, 2, Kind::Overlay, kEdge},
    {"ModeC.png", 50, 50, 2, Kind::Overlay, kEdge},
    {"ModeD.png", 50, 50, 2, Kind::Overlay, kEdge},
};

TEST(Artwork, EveryStripHasItsFrameSizeAndFrameCount) {
    for (const Expected& e : kStrips) {
        SCOPED_TRACE(e.file);
        const auto bitmap = Load(e.file);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->Width(), e.width);
        EXPECT_EQ(bitmap->Height(), e.frameHeight * e.frames);
    }
}

// Overlays: the corners of every frame and the margins above are alpha 0.
// Opaque pictures: no pixel lets anything through.
TEST(Artwork, OverlaysAreTransparentOutsideTheirShapeAndTheRestOpaque) {
    for (const Expected& e : kStrips) {
        SCOPED_TRACE(e.file);
        const auto bitmap = Load(e.file);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(bitmap->Height(), e.frameHeight * e.frames);
        int wrong = 0;
        for (int frame = 0; frame < e.frames; ++frame) {
            const int top = frame * e.frameHeight;
            for (int y = 0; y < e.frameHeight; ++y) {
                for (int x = 0; x < e.width; ++x) {
                    const int alpha = At(*bitmap, x, top + y).a;
                    if (e.kind == Kind::Opaque) {
                        wrong += alpha != 255;
                        continue;
                    }
                    const bool corner = (x < 2 || x >= e.width - 2) && (y < 2 || y >= e.frameHeight - 2);
                    const bool margin = x < e.clear.left || x >= e.width - e.clear.right || y < e.clear.top ||
                                        y >= e.frameHeight - e.clear.bottom;
                    wrong += (corner || margin) && alpha != 0;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The lamp overlays darken the face by the alpha they lay over it. Powered
// on, the glass lightens frame by frame to nothing; powered off, it darkens
// from nothing. The LED's spot (centre (242, 117) of the meter) keeps its own
// light throughout.
TEST(Artwork, LampOverlaysLightUpAndDieAwayInFrameOrderAndLeaveTheLedAlone) {
    struct Lamp {
        const char* file;
        bool warming;
    };
    for (const Lamp lamp : {Lamp{"On_State.png", true}, Lamp{"Off_State.png", false}}) {
        SCOPED_TRACE(lamp.file);
        const auto strip = Load(lamp.file);
        ASSERT_TRUE(strip);
        ASSERT_EQ(strip->Height(), 60 * 136);
        std::vector<double> darkness;
        for (int frame = 0; frame < 60; ++frame) {
            const int top = frame * 136;
            EXPECT_EQ(At(*strip, 242, top + 117).a, 0) << "LED spot in frame " << frame + 1;
            double sum = 0;
            for (int y = 40; y < 100; ++y)
                for (int x = 60; x < 200; ++x) sum += At(*strip, x, top + y).a;
            darkness.push_back(sum / (60 * 140) / 255.0);
        }
        const double lit = lamp.warming ? darkness.back() : darkness.front();
        const double cold = lamp.warming ? darkness.front() : darkness.back();
        EXPECT_EQ(lit, 0.0);
        EXPECT_GT(cold, 0.8);
        for (int i = 1; i < 60; ++i) {
            const double change = lamp.warming ? darkness[i - 1] - darkness[i] : darkness[i] - darkness[i - 1];
            EXPECT_GE(change, 0.0) << "frame " << i + 1;
        }
    }
}

// --- Finding marks on pixels ---------------------------------------------

struct Vec {
    double x;
    double y;
};

// How much of a mark a pixel is, 0..1.
using Ink = std::function<double(PackedPixel)>;

// One frame of a strip.
struct View {
    const IRasterBitmap* bitmap;
    int top;
    int width;
    int height;

    double InkAt(const Ink& ink, int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0.0;
        return ink(At(*bitmap, x, top + y));
    }
    // Bilinear between pixel centres.
    double Sample(const Ink& ink, Vec p) const {
        const double fx = p.x - 0.5, fy = p.y - 0.5;
        const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
        const double tx = fx - x0, ty = fy - y0;
        return (InkAt(ink, x0, y0) * (1 - tx) + InkAt(ink, x0 + 1, y0) * tx) * (1 - ty) +
               (InkAt(ink, x0, y0 + 1) * (1 - tx) + InkAt(ink, x0 + 1, y0 + 1) * tx) * ty;
    }
};

// Degrees clockwise from straight up, as a dial reads.
double AngleOf(Vec from, Vec to) { return std::atan2(to.x - from.x, from.y - to.y) * 180.0 / kPi; }
Vec Polar(Vec centre, double radius, double degrees) {
    const double a = degrees * kPi / 180.0;
    return {centre.x + radius * std::sin(a), centre.y - radius * std::cos(a)};
}

// The ink's weighted centre and principal direction (a thin needle or
// pointer drawn as a line).
struct Line {
    Vec centre;
    Vec direction;
    double weight;
};

Line FitLine(const View& view, const Ink& ink, const std::function<bool(Vec)>& inside) {
    double w = 0, sx = 0, sy = 0;
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x) {
            const Vec p = {x + 0.5, y + 0.5};
            const double v = inside(p) ? view.InkAt(ink, x, y) : 0.0;
            w += v;
            sx += v * p.x;
            sy += v * p.y;
        }
    if (w <= 0) return {{0, 0}, {0, 0}, 0};
    const Vec c = {sx / w, sy / w};
    double xx = 0, xy = 0, yy = 0;
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x) {
            const Vec p = {x + 0.5, y + 0.5};
            const double v = inside(p) ? view.InkAt(ink, x, y) : 0.0;
            xx += v * (p.x - c.x) * (p.x - c.x);
            xy += v * (p.x - c.x) * (p.y - c.y);
            yy += v * (p.y - c.y) * (p.y - c.y);
        }
    const double theta = 0.5 * std::atan2(2 * xy, xx - yy);
    return {c, {std::cos(theta), std::sin(theta)}, w};
}

Vec Intersect(const Line& a, const Line& b) {
    const double det = a.direction.x * -b.direction.y - a.direction.y * -b.direction.x;
    const double t = ((b.centre.x - a.centre.x) * -b.direction.y - (b.centre.y - a.centre.y) * -b.direction.x) / det;
    return {a.centre.x + t * a.direction.x, a.centre.y + t * a.direction.y};
}

// The angle of a printed tick crossing the ray from `centre` at `angle`
// between radii `from` and `to`: at each radius the ink's profile across the
// ray (within +-halfWindow degrees) must fall to nothing at both ends of the
// window, which a tick does and a scale line or the strokes of a number do
// not; the longest run of such radii is the tick, and its ink-weighted mean
// angle is returned. NaN when no tick crosses the ray there.
double TickAngle(const View& view, const Ink& ink, Vec centre, double angle, double from, double to,
                 double halfWindow) {
    struct Run {
        int length = 0;
        double weight = 0;
        double moment = 0;
    };
    Run best, current;
    for (double r = from; r <= to; r += 0.5) {
        const double step = 0.2 / r * 180.0 / kPi;  // 0.2 px along the arc
        const int n = static_cast<int>(halfWindow / step);
        double peak = 0, edge = 0, weight = 0, moment = 0;
        for (int k = -n; k <= n; ++k) {
            const double a = angle + k * step;
            const double v = view.Sample(ink, Polar(centre, r, a));
            peak = std::fmax(peak, v);
            if (std::abs(k) >= n - 2) edge = std::fmax(edge, v);
            weight += v;
            moment += v * a;
        }
        if (peak > 0.3 && edge < 0.05 * peak) {
            ++current.length;
            current.weight += weight;
            current.moment += moment;
            if (current.length > best.length) best = current;
        } else {
            current = Run();
        }
    }
    return best.length >= 4 ? best.moment / best.weight : std::nan("");
}

double Lum(PackedPixel p) { return std::fmax(p.r, std::fmax(p.g, p.b)); }

// --- The meter -----------------------------------------------------------

// The red of the needle (its shadow is grey and does not count).
double NeedleInk(PackedPixel p) { return p.a / 255.0 * std::fmax(0.0, p.r - (p.g + p.b) / 2.0) / 255.0; }
// Black print on the cream card (the red zone is not dark).
double PrintInk(PackedPixel p) { return std::fmax(0.0, 110.0 - Lum(p)) / 110.0; }

constexpr int kMeterW = 264;
constexpr int kMeterH = 136;

struct NeedleGeometry {
    Vec pivot;
    double step;  // degrees per frame
};

// The pivot is where the needle's lines at rest and at full deflection meet.
NeedleGeometry FindPivot(const IRasterBitmap& needle) {
    const auto everywhere = [](Vec) { return true; };
    const Line rest = FitLine({&needle, 0, kMeterW, kMeterH}, NeedleInk, everywhere);
    const Line full = FitLine({&needle, (kNeedleFrames - 1) * kMeterH, kMeterW, kMeterH}, NeedleInk, everywhere);
    const Vec pivot = Intersect(rest, full);
    return {pivot, (AngleOf(pivot, full.centre) - AngleOf(pivot, rest.centre)) / (kNeedleFrames - 1)};
}

struct NeedleAt {
    double angle;
    double tip;  // farthest reach from the pivot
    double length;
};

NeedleAt MeasureNeedle(const IRasterBitmap& needle, const NeedleGeometry& g, int frame) {
    const View view = {&needle, (frame - 1) * kMeterH, kMeterW, kMeterH};
    const Line line = FitLine(view, NeedleInk, [](Vec) { return true; });
    double nearest = 1e9, farthest = 0;
    for (int y = 0; y < kMeterH; ++y)
        for (int x = 0; x < kMeterW; ++x)
            if (view.InkAt(NeedleInk, x, y) > 0.5) {
                const double d = std::hypot(x + 0.5 - g.pivot.x, y + 0.5 - g.pivot.y);
                nearest = std::fmin(nearest, d);
                farthest = std::fmax(farthest, d);
            }
    return {AngleOf(g.pivot, line.centre), farthest, farthest - nearest};
}

TEST(ArtworkMeter, EveryLabelledLevelIsPrintedWhereTheNeedleStandsForIt) {
    const auto needle = Load("Red_Needle.png");
    ASSERT_TRUE(needle);
    ASSERT_EQ(needle->Height(), kNeedleFrames * kMeterH);
    const NeedleGeometry g = FindPivot(*needle);
    ASSERT_GT(g.step, 0.05);  // the needle turns clockwise with the level

    const double labelledDb[] = {-10, -7, -5, -3, -2, -1, 0, 1, 2, 3, 6};
    for (const char* faceFile : {"PresComp_Background.png", "FinalComp_Background.png"}) {
        const auto face = Load(faceFile);
        ASSERT_TRUE(face);
        const View card = {face.get(), 0, kMeterW, kMeterH};
        for (double db : labelledDb) {
            SCOPED_TRACE(std::string(faceFile) + " at " + std::to_string(db) + " dB");
            const int frame = NeedleFrame(std::pow(10.0, db / 20.0));
            const NeedleAt at = MeasureNeedle(*needle, g, frame);
            // The tick is looked for under the outer quarter of the needle,
            // near its tip, within a few frames' turn either side.
            const double tick =
                TickAngle(card, PrintInk, g.pivot, at.angle, at.tip - at.length / 4, at.tip, 4.5 * g.step);
            ASSERT_FALSE(std::isnan(tick)) << "no tick under the needle of frame " << frame;
            EXPECT_NEAR(tick, at.angle, 0.35 * g.step) << "frame " << frame;
        }
    }
}

// Red print on the card: the red zone (and the red numbers, which lie
// farther out than the needle reaches).
double RedInk(PackedPixel p) { return std::fmax(0.0, p.r - (p.g + p.b) / 2.0 - 60.0) / 120.0; }

// The red zone begins where the LED starts to light (level 1.0, the 0 mark)
// and runs to full deflection, under the needle's tip.
TEST(ArtworkMeter, RedZoneRunsFromTheZeroMarkToFullDeflection) {
    const auto needle = Load("Red_Needle.png");
    const auto face = Load("PresComp_Background.png");
    ASSERT_TRUE(needle);
    ASSERT_TRUE(face);
    ASSERT_EQ(needle->Height(), kNeedleFrames * kMeterH);
    const NeedleGeometry g = FindPivot(*needle);
    const NeedleAt zero = MeasureNeedle(*needle, g, NeedleFrame(1.0));
    const NeedleAt full = MeasureNeedle(*needle, g, kNeedleFrames);
    double first = 1e9, last = -1e9;
    for (int y = 0; y < kMeterH; ++y)
        for (int x = 0; x < kMeterW; ++x) {
            const Vec p = {x + 0.5, y + 0.5};
            const double r = std::hypot(p.x - g.pivot.x, p.y - g.pivot.y);
            if (r < zero.tip - zero.length / 4 || r > zero.tip || RedInk(At(*face, x, y)) < 0.5) continue;
            first = std::fmin(first, AngleOf(g.pivot, p));
            last = std::fmax(last, AngleOf(g.pivot, p));
        }
    // The ticks at both ends are printed over the zone's edges; allow their
    // width and a pixel (far less than the half dB of a neighbouring tick).
    const double slack = 1.5 / (zero.tip - zero.length / 8) * 180.0 / kPi;
    EXPECT_NEAR(first, zero.angle, slack);
    EXPECT_NEAR(last, full.angle, slack);
}

TEST(ArtworkMeter, ZeroIsFrame168AndTheEndsAreRestAndFullDeflection) {
    // The scale's anchors as the artwork relies on them.
    EXPECT_EQ(NeedleFrame(1.0), 168);
    EXPECT_EQ(NeedleFrame(std::pow(10.0, -14.0 / 20.0)), 1);
    EXPECT_EQ(NeedleFrame(1.99526), kNeedleFrames);
}

// --- The knob scales on the background --------------------------------------

constexpr int kKnobFrames = 240;
constexpr int kKnob = 128;

// The pointer: the light inlay on the knob's black top, inside a quarter of
// the picture's size from its centre. Nearly linear in the pixel's coverage
// (the top is far darker than the inlay), so the centre is found to a
// fraction of a pixel.
double PointerInk(PackedPixel p) {
    const double low = std::fmin(p.r, std::fmin(p.g, p.b));
    return p.a / 255.0 * std::fmax(0.0, low - 100.0) / 155.0;
}
// Light legends on the dark plate.
double LegendInk(PackedPixel p) { return std::fmin(1.0, std::fmax(0.0, Lum(p) - 90.0) / 80.0); }

double PointerAngle(const IRasterBitmap& knob, int frame) {
    const Vec centre = {kKnob / 2.0, kKnob / 2.0};
    const View view = {&knob, (frame - 1) * kKnob, kKnob, kKnob};
    const Line line =
        FitLine(view, PointerInk, [centre](Vec p) { return std::hypot(p.x - centre.x, p.y - centre.y) < kKnob / 4.0; });
    return AngleOf(centre, line.centre);
}

TEST(ArtworkKnobs, ScaleTicksAroundBothKnobsAreWhereThePointerShowsTheirValues) {
    const auto background = Load("Orvane-Background.png");
    const auto knob = Load("Velmor_Knob.png");
    ASSERT_TRUE(background);
    ASSERT_TRUE(knob);
    ASSERT_EQ(knob->Height(), kKnobFrames * kKnob);
    const View plate = {background.get(), 0, background->Width(), background->Height()};
    const double step = (PointerAngle(*knob, kKnobFrames) - PointerAngle(*knob, 1)) / (kKnobFrames - 1);
    ASSERT_NEAR(step * (kKnobFrames - 1), 300.0, 10.0);

    struct Scale {
        const char* name;
        Vec centre;
        double min;
        double max;
        std::vector<double> ticks;
    };
    const Scale scales[] = {
        {"Pres Comp", {128, 296}, -5.0, 25.0, {-5, 0, 5, 10, 12.5, 15, 20, 25}},
        {"Db Output", {328, 296}, -30.0, 20.0, {-30, -20, -10, 0, 10, 20}},
    };
    for (const Scale& s : scales) {
        for (double value : s.ticks) {
            SCOPED_TRACE(std::string(s.name) + " " + std::to_string(value));
            const int frame = FrameForValue((value - s.min) / (s.max - s.min), kKnobFrames);
            const double pointer = PointerAngle(*knob, frame);
            // Between the knob's body and the numbers round it.
            const double tick = TickAngle(plate, LegendInk, s.centre, pointer, kKnob * 0.3, kKnob * 0.42, 3.0 * step);
            ASSERT_FALSE(std::isnan(tick)) << "no tick where frame " << frame << " points";
            EXPECT_NEAR(tick, pointer, 0.35 * step) << "frame " << frame;
        }
    }
}

}  // namespace
