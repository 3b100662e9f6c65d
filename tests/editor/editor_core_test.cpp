// The editor core on its own: rectangle rules, the paint pass, the bitmap
// cache and the routing of pointer, wheel and key events, with pictures
// whose every frame is one known colour.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "editor/bitmap_cache.h"
#include "editor/bitmap_widgets.h"
#include "editor/editor_keys.h"
#include "editor/editor_offscreen.h"
#include "editor/frame_for_value.h"
#include "editor/knob_widgets.h"
#include "editor/rect_rules.h"
#include "raster/mem_bitmap.h"
#include "raster/png_encode.h"
#include "tests/editor/editor_test_support.h"

using editortest::AddResource;
using editortest::FindTestResource;
using editortest::FrameColour;
using editortest::GestureEffect;
using editortest::StripPng;

namespace {

std::vector<std::uint8_t> EncodePngForTest(const MemBitmap& bitmap) { return EncodePng(bitmap); }

bool SamePixel(PackedPixel a, PackedPixel b) { return PixelWord(a) == PixelWord(b); }

PackedPixel SurfacePixel(IEditor& editor, int x, int y) {
    SysBitmap* s = editor.Surface();
    return s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x];
}

void FillSurface(IEditor& editor, PackedPixel colour) {
    SysBitmap* s = editor.Surface();
    for (int y = 0; y < s->Height(); ++y)
        for (int x = 0; x < s->Width(); ++x)
            s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x] = colour;
}

// Counts what the paint pass does with it; draws nothing.
class CountingWidget : public IWidget {
public:
    CountingWidget(IEffectBase* plugin, const IRectangle& r, int param = -1) : IWidget(plugin, r, param, IBlend{}) {}
    void Paint(IEditor&) override { ++paints; }
    void FinishPaint() override {
        ++finishes;
        IWidget::FinishPaint();
    }
    void OnPointerDoubleClick(int x, int y, const IMouseMods& m) override {
        ++doubleClicks;
        IWidget::OnPointerDoubleClick(x, y, m);
    }
    void OnPointerUp(int, int, const IMouseMods&) override { ++ups; }
    bool OnKey(int, int, int) override { return true; }
    void AcceptDoubleClickAsPress() { SetDoubleClickAsPress(true); }
    int paints = 0, finishes = 0, doubleClicks = 0, ups = 0;
};

// An editor of 64 x 48 on the recording plug-in, with a background picture
// (id base) and whatever the test adds; attached, so surfaces exist.
struct TestEditor {
    explicit TestEditor(int base) {
        AddResource(base, StripPng(base, 64, 48, 1));
        auto owned = std::make_unique<IEditorOffscreen>(&effect, 64, 48, 25, FindTestResource);
        editor = owned.get();
        const IBitmapRef bg = editor->LoadBitmap(base, "bg.png", 1);
        editor->AddBackground(std::make_unique<IBitmapWidget>(&effect, IRectangle{0, 0, 64, 48}, -1, bg,
                                                              IBlend{IBlend::kOpaqueCopy, 1.0f}));
        pending = std::move(owned);
    }
    template <typename W, typename... Args>
    W* Add(Args&&... args) {
        auto w = std::make_unique<W>(&effect, std::forward<Args>(args)...);
        W* raw = w.get();
        editor->AddControl(std::move(w));
        return raw;
    }
    void Attach() { effect.AttachEditor(std::move(pending)); }

    GestureEffect effect;
    IEditorOffscreen* editor;
    std::unique_ptr<IEditorOffscreen> pending;
};

TEST(RectangleRules, EmptinessContainmentMeetingAndIntersection) {
    const IRectangle c{10, 10, 20, 20};
    EXPECT_TRUE(IsEmpty(IRectangle{}));
    EXPECT_FALSE(IsEmpty(IRectangle{5, 5, 5, 5}));  // no area, but not "empty"
    struct Point {
        int x, y;
        bool inside;
    } points[] = {{10, 10, true}, {19, 19, true}, {20, 15, false}, {15, 20, false}, {9, 15, false}};
    for (const Point& p : points) EXPECT_EQ(Contains(c, p.x, p.y), p.inside) << p.x << "," << p.y;
    EXPECT_FALSE(Contains(IRectangle{}, 0, 0));

    struct Row {
        IRectangle region;
        bool meets;
        IRectangle common;
    } rows[] = {
        {{0, 0, 10, 30}, true, {10, 10, 10, 20}},    // ends at the control's left edge: meets
        {{0, 0, 30, 10}, true, {10, 10, 20, 10}},    // ends at its top edge: meets
        {{20, 0, 30, 30}, false, {}},                // starts at its right edge: does not
        {{0, 20, 30, 30}, false, {}},                // starts at its bottom edge: does not
        {{15, 15, 40, 40}, true, {15, 15, 20, 20}},  // overlap
        {{}, false, {}},                             // the empty rectangle meets nothing
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Meets(r.region, c), r.meets) << r.region.left << "," << r.region.top;
        const IRectangle i = Intersection(r.region, c);
        EXPECT_EQ(i.left, r.common.left);
        EXPECT_EQ(i.top, r.common.top);
        EXPECT_EQ(i.right, r.common.right);
        EXPECT_EQ(i.bottom, r.common.bottom);
    }
}

TEST(FrameRule, RoundsHalfUpAndClampsEverythingElse) {
    struct Row {
        double value;
        int frames, frame;
    } rows[] = {{0.0, 240, 1}, {0.5, 240, 121}, {1.0, 240, 240}, {-3.0, 240, 1},      {7.0, 240, 240},    {NAN, 240, 1},
                {0.5, 1, 1},   {0.5, 0, 1},     {1.0 / 3, 4, 2}, {0.0020833, 240, 1}, {0.0020921, 240, 2}};
    for (const Row& r : rows) EXPECT_EQ(FrameForValue(r.value, r.frames), r.frame) << r.value << " of " << r.frames;
}

TEST(EditorPaint, DrawsOnlyInsideTheRegionInListOrder) {
    TestEditor t(2001);
    AddResource(2002, StripPng(2002, 10, 10, 1));
    AddResource(2003, StripPng(2003, 10, 10, 2));
    t.Add<IBitmapWidget>(IRectangle{5, 5, 15, 15}, -1, t.editor->LoadBitmap(2002, "a.png", 1), IBlend{});
    auto* b = t.Add<IBitmapWidget>(IRectangle{10, 10, 20, 20}, -1, t.editor->LoadBitmap(2003, "b.png", 2), IBlend{});
    t.Attach();
    b->ApplyPluginValue(1.0);  // shows its second frame
    const PackedPixel sentinel{1, 2, 3, 255};
    FillSurface(*t.editor, sentinel);
    ASSERT_TRUE(t.editor->PaintRegion(IRectangle{8, 8, 12, 12}));
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 8, 8), FrameColour(2002, 1)));
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 11, 11), FrameColour(2003, 2)));  // the later control covers
    for (auto [x, y] : {std::pair{7, 8}, {12, 11}, {11, 12}, {4, 4}, {16, 16}})
        EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, x, y), sentinel)) << x << "," << y;
    EXPECT_EQ(t.editor->Presentations(), 1);
}

TEST(EditorPaint, RegionEdgesHiddenControlsAndCleaning) {
    TestEditor t(2010);
    auto* c = t.Add<CountingWidget>(IRectangle{20, 20, 30, 30});
    auto* hidden = t.Add<CountingWidget>(IRectangle{20, 20, 30, 30});
    auto* distant = t.Add<CountingWidget>(IRectangle{500, 0, 510, 10});
    t.Attach();
    hidden->SetHidden(true);
    t.editor->PaintRegion(IRectangle{0, 0, 20, 20});  // touches c's left and top edges
    EXPECT_EQ(c->paints, 1);
    t.editor->PaintRegion(IRectangle{30, 30, 40, 40});  // starts at its right and bottom edges
    EXPECT_EQ(c->paints, 1);
    // Hidden: never painted, yet cleaned; off in the distance: cleaned too.
    EXPECT_EQ(hidden->paints, 0);
    EXPECT_EQ(hidden->finishes, 2);
    EXPECT_FALSE(hidden->IsDirty());  // its one pending repaint carried over once
    EXPECT_EQ(distant->paints, 0);
    EXPECT_FALSE(distant->IsDirty());
}

TEST(EditorPaint, HostChangesRepaintOnTwoTicksAndThenRest) {
    TestEditor t(2020);
    AddResource(2021, StripPng(2021, 8, 8, 2));
    auto* sw = t.Add<ISwitchWidget>(IRectangle{4, 4, 12, 12}, 2, t.editor->LoadBitmap(2021, "s.png", 2), IBlend{});
    t.Attach();
    EXPECT_TRUE(t.editor->RepaintDirty());  // everything starts dirty
    EXPECT_FALSE(t.editor->RepaintDirty());
    t.editor->ShowParameterInEditor(2, 1.0, false);
    IRectangle region;
    ASSERT_TRUE(t.editor->CollectDirtyRegion(&region));
    EXPECT_EQ(region.left, 4);
    EXPECT_EQ(region.right, 12);
    EXPECT_TRUE(t.editor->RepaintDirty());
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 5, 5), FrameColour(2021, 2)));
    EXPECT_TRUE(sw->IsDirty());  // one more pass for the pending repaint
    EXPECT_TRUE(t.editor->RepaintDirty());
    EXPECT_FALSE(t.editor->RepaintDirty());
    // The value already shown asks for nothing.
    t.editor->ShowParameterInEditor(2, 1.0, false);
    EXPECT_FALSE(t.editor->RepaintDirty());
}

TEST(EditorValues, UnnormalisedValuesAreClampedToTheRangeAndTheFirstBecomesTheDefault) {
    TestEditor t(2030);
    auto* drive = t.Add<CountingWidget>(IRectangle{0, 0, 1, 1}, 0);  // -10..10 dB, default 0
    auto* aux = t.Add<CountingWidget>(IRectangle{0, 0, 1, 1});
    aux->AddAuxBinding(6);
    t.Attach();
    EXPECT_DOUBLE_EQ(drive->DefaultValue(), 0.5);
    struct Row {
        double value;
        bool normalized;
        double shown;
    } rows[] = {{50.0, false, 1.0}, {-50.0, false, 0.0}, {5.0, false, 0.75}, {0.25, true, 0.25}, {NAN, true, 0.0}};
    for (const Row& r : rows) {
        t.editor->ShowParameterInEditor(0, r.value, r.normalized);
        EXPECT_DOUBLE_EQ(drive->Value(), r.shown) << r.value;
    }
    t.editor->ShowParameterInEditor(6, 20.0, false);
    EXPECT_DOUBLE_EQ(aux->AuxValue(0), 1.0);
    t.editor->ShowParameterInEditor(99, 1.0, false);  // no such parameter: nothing
}

TEST(BitmapCache, OneBitmapPerIdWhateverNameAndFramesLaterRequestsGive) {
    TestEditor a(2040), b(2041);
    AddResource(2042, StripPng(2042, 4, 4, 2));
    const IBitmapRef first = a.editor->LoadBitmap(2042, "resources/img/Strip.PNG", 2);
    const IBitmapRef again = b.editor->LoadBitmap(2042, "other.bmp", 7);
    EXPECT_NE(first.bitmap, nullptr);
    EXPECT_EQ(first.bitmap, again.bitmap);
    EXPECT_EQ(again.frames, 7);
    EXPECT_EQ(first.height, 8);
    // A first request under a name without the png extension gets nothing,
    // and that is remembered for the id.
    AddResource(2043, StripPng(2043, 4, 4, 1));
    EXPECT_EQ(a.editor->LoadBitmap(2043, "strip.bmp", 1).width, 0);
    EXPECT_EQ(a.editor->LoadBitmap(2043, "strip.png", 1).width, 0);
    EXPECT_EQ(BitmapCache::Find(2043), a.editor->LoadBitmap(2043, "x.png", 1).bitmap);
    struct Name {
        const char* name;
        bool png;
    } names[] = {{"a.png", true}, {"A.PnG", true}, {"dir.png/file.bmp", false},
                 {"png", false},  {"xpng", true},  {"a.png.", false},
                 {"", false},     {nullptr, false}};
    for (const Name& n : names) EXPECT_EQ(HasPngResourceName(n.name), n.png) << (n.name ? n.name : "null");
}

// Two editors opening at once may both miss the id and both decode it: the
// one stored first is what every caller, later ones too, gets.
TEST(BitmapCache, TheBitmapStoredFirstForAnIdIsTheOneEveryoneGets) {
    auto first = std::make_unique<MemBitmap>(2, 2);
    IRasterBitmap* const stored = first.get();
    EXPECT_EQ(BitmapCache::Insert(2044, std::move(first)), stored);
    EXPECT_EQ(BitmapCache::Insert(2044, std::make_unique<MemBitmap>(3, 3)), stored);
    EXPECT_EQ(BitmapCache::Insert(2044, nullptr), stored);
    EXPECT_EQ(BitmapCache::Find(2044), stored);
}

TEST(BitmapCache, BrokenPicturesAreEmptyAndTheRestStillPaints) {
    TestEditor t(2050);
    std::vector<std::uint8_t> good = StripPng(2051, 6, 6, 1);
    std::vector<std::uint8_t> truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
    std::vector<std::uint8_t> garbage(good.size(), 0x5A);
    AddResource(2052, truncated);
    AddResource(2053, garbage);
    AddResource(2054, std::vector<std::uint8_t>(good.begin(), good.begin() + 7));
    AddResource(2051, good);
    struct Row {
        int id;
        int width;  // what the editor learns of the picture
    } rows[] = {{2052, 6}, {2053, 0}, {2054, 0}, {2059, 0}};
    for (const Row& r : rows) {
        const IBitmapRef ref = t.editor->LoadBitmap(r.id, "broken.png", 1);
        ASSERT_NE(ref.bitmap, nullptr);
        EXPECT_EQ(ref.width, r.width) << r.id;
        t.Add<IBitmapWidget>(IRectangle{0, 0, 6, 6}, -1, ref, IBlend{});
    }
    t.Add<IBitmapWidget>(IRectangle{10, 10, 16, 16}, -1, t.editor->LoadBitmap(2051, "good.png", 1), IBlend{});
    t.Attach();
    EXPECT_TRUE(t.editor->PaintAll());
    EXPECT_EQ(BitmapCache::Find(2052)->PixelPointer(), nullptr);                  // the truncated data never decodes
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 2, 2), FrameColour(2050, 1)));  // background untouched
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 12, 12), FrameColour(2051, 1)));
}

TEST(BitmapDraws, NoFrameNumberOrRectangleReadsOrWritesOutsideABitmap) {
    TestEditor t(2060);
    AddResource(2061, StripPng(2061, 8, 8, 3));
    t.Attach();
    const IBitmapRef ref = t.editor->LoadBitmap(2061, "s.png", 3);
    t.editor->PaintAll();
    const int frames[] = {INT_MIN, -1, 0, 1, 3, 4, 1000, INT_MAX};
    const IRectangle rects[] = {
        {0, 0, 8, 8},    {-4, -4, 4, 4}, {60, 44, 68, 52}, {INT_MIN, 0, INT_MAX, 8}, {0, INT_MIN, 8, INT_MAX},
        {30, 30, 10, 10}};
    for (int f : frames)
        for (const IRectangle& r : rects) EXPECT_TRUE(t.editor->DrawBitmapFrame(ref, r, f, nullptr));
    // A frame past the strip draws nothing; the last frame is still there.
    FillSurface(*t.editor, PackedPixel{9, 9, 9, 255});
    t.editor->DrawBitmapFrame(ref, IRectangle{0, 0, 8, 8}, 4, nullptr);
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 3, 3), PackedPixel{9, 9, 9, 255}));
    t.editor->DrawBitmapFrame(ref, IRectangle{0, 0, 8, 8}, 3, nullptr);
    EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 3, 3), FrameColour(2061, 3)));
}

TEST(BitmapDraws, BlendMethodsMapToTheBlits) {
    // A source pixel of red 200 at half alpha over a background of red 100:
    // worked out from the blend rules by hand, to within rounding.
    MemBitmap half(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) half.PixelPointer()[y * half.RowStride() + x] = PackedPixel{0, 0, 200, 128};
    AddResource(2065, EncodePngForTest(half));
    struct Row {
        int method;
        int red, alpha;  // the surface pixel afterwards
    } rows[] = {
        {IBlend::kAlphaCopy, 150, 255}, {IBlend::kOpaqueCopy, 200, 128}, {IBlend::kAdd, 200, 255}, {7, 150, 255}};
    for (const Row& r : rows) {
        TestEditor t(2066);
        t.Attach();
        const IBitmapRef ref = t.editor->LoadBitmap(2065, "half.png", 1);
        const IBlend blend{r.method, 1.0f};
        // Outside a paint pass's region nothing is drawn...
        t.editor->PaintRegion(IRectangle{});
        FillSurface(*t.editor, PackedPixel{0, 0, 100, 255});
        t.editor->DrawBitmapAt(ref, IRectangle{0, 0, 4, 4}, 0, 0, &blend);
        EXPECT_TRUE(SamePixel(SurfacePixel(*t.editor, 1, 1), PackedPixel{0, 0, 100, 255}));
        // ... inside it, the method picks the blit.
        t.editor->PaintRegion(IRectangle{0, 0, 64, 48});
        FillSurface(*t.editor, PackedPixel{0, 0, 100, 255});
        t.editor->DrawBitmapAt(ref, IRectangle{0, 0, 4, 4}, 0, 0, &blend);
        const PackedPixel p = SurfacePixel(*t.editor, 1, 1);
        EXPECT_NEAR(p.r, r.red, 1) << "method " << r.method;
        EXPECT_NEAR(p.a, r.alpha, 1) << "method " << r.method;
    }
}

TEST(EditorRouting, PressDragReleaseOpensAndClosesOneGesture) {
    TestEditor t(2070);
    auto* knob = t.Add<IKnobStripWidget>(IRectangle{0, 0, 32, 32}, 0, IBitmapRef{}, IBlend{});
    t.Attach();
    const IMouseMods left{true};
    t.editor->PointerDown(10, 10, left);
    t.editor->PointerDrag(10, 2, left);
    t.editor->PointerDrag(10, 2, left);      // no movement: nothing
    t.editor->PointerDrag(200, -500, left);  // far outside: still the captured knob
    t.editor->PointerUp(200, -500, left);
    EXPECT_EQ(t.effect.gestures, (std::vector<std::string>{"begin0", "end0"}));
    EXPECT_DOUBLE_EQ(knob->Value(), 1.0);
    EXPECT_DOUBLE_EQ(t.effect.notified.back().second, 1.0);
    EXPECT_EQ(t.editor->CaptureIndex(), -1);
}

TEST(EditorRouting, ReleasesDoubleClicksAndRightPresses) {
    TestEditor t(2080);
    auto* target = t.Add<CountingWidget>(IRectangle{10, 10, 20, 20}, 5);
    auto* asPress = t.Add<CountingWidget>(IRectangle{30, 10, 40, 20}, 6);
    asPress->AcceptDoubleClickAsPress();
    t.Attach();
    // A press outside every control starts nothing; the release goes to the
    // control under the pointer, with a gesture end nothing opened.
    t.editor->PointerDown(100, 100, IMouseMods{true});
    EXPECT_EQ(t.editor->CaptureIndex(), -1);
    t.editor->PointerUp(15, 15, IMouseMods{true});
    EXPECT_EQ(target->ups, 1);
    EXPECT_EQ(t.effect.gestures, (std::vector<std::string>{"end5"}));
    // A double click restores the default; the release after it ends a
    // gesture too.
    target->SetValue(0.9);
    EXPECT_FALSE(t.editor->PointerDoubleClick(15, 15, IMouseMods{true}));
    EXPECT_EQ(target->doubleClicks, 1);
    EXPECT_DOUBLE_EQ(target->Value(), target->DefaultValue());
    // A control that takes double clicks as presses is captured, no gesture.
    t.effect.gestures.clear();
    EXPECT_TRUE(t.editor->PointerDoubleClick(35, 15, IMouseMods{true}));
    EXPECT_EQ(t.editor->CaptureIndex(), 2);
    EXPECT_TRUE(t.effect.gestures.empty());
    t.editor->PointerUp(0, 0, IMouseMods{true});
    EXPECT_EQ(t.effect.gestures, (std::vector<std::string>{"end6"}));
    // A right press on a bound bitmap control changes nothing but is still
    // wrapped in a gesture.
    t.effect.gestures.clear();
    const double before = target->Value();
    t.editor->PointerDown(15, 15, IMouseMods{false, true});
    t.editor->PointerUp(15, 15, IMouseMods{false, true});
    EXPECT_EQ(target->Value(), before);
    EXPECT_EQ(t.effect.gestures, (std::vector<std::string>{"begin5", "end5"}));
}

TEST(EditorRouting, KnobDragWheelAndSwitchSteps) {
    struct Drag {
        int dy;
        IMouseMods mods;
        double value;
    } drags[] = {{-32, {true}, 0.5625},
                 {-32, {true, false, true}, 0.50625},
                 {-32, {true, false, false, true}, 0.50625},
                 {32, {true}, 0.4375},
                 {-1000, {true}, 1.0},
                 {1000, {true}, 0.0}};
    for (const Drag& d : drags) {
        TestEditor t(2090);
        auto* knob = t.Add<IKnobStripWidget>(IRectangle{0, 0, 128, 128}, 0, IBitmapRef{}, IBlend{});
        t.Attach();
        ASSERT_DOUBLE_EQ(knob->Value(), 0.5);
        t.editor->PointerDown(64, 64, d.mods);
        t.editor->PointerDrag(64, 64 + d.dy, d.mods);
        t.editor->PointerUp(64, 64 + d.dy, d.mods);
        EXPECT_NEAR(knob->Value(), d.value, 1e-12) << d.dy;
        EXPECT_NEAR(t.effect.notified.back().second, d.value, 1e-12);
    }
    struct Wheel {
        int steps;
        IMouseMods mods;
        double value;
    } wheels[] = {
        {1, {}, 0.51}, {-3, {}, 0.47}, {1, {false, false, true}, 0.501}, {2, {false, false, false, true}, 0.502}};
    for (const Wheel& w : wheels) {
        TestEditor t(2091);
        auto* knob = t.Add<IKnobStripWidget>(IRectangle{0, 0, 128, 128}, 0, IBitmapRef{}, IBlend{});
        t.Attach();
        t.editor->PointerWheel(64, 64, w.mods, w.steps);
        t.editor->PointerWheel(300, 300, w.mods, w.steps);  // over nothing
        EXPECT_NEAR(knob->Value(), w.value, 1e-12) << w.steps;
    }
    TestEditor t(2092);
    AddResource(2093, StripPng(2093, 4, 4, 4));
    auto* four = t.Add<ISwitchWidget>(IRectangle{0, 0, 4, 4}, 9, t.editor->LoadBitmap(2093, "f.png", 4), IBlend{});
    t.Attach();
    four->SetValue(0.0);
    const double expected[] = {1.0 / 3, 2.0 / 3, 1.0, 0.0};
    for (double e : expected) {
        t.editor->PointerDown(1, 1, IMouseMods{false, true});  // any button steps
        t.editor->PointerUp(1, 1, IMouseMods{false, true});
        EXPECT_NEAR(four->Value(), e, 1e-12);
    }
}

TEST(EditorRouting, GreyedAndHiddenControlsAreNotHitAndKeysNeedAControl) {
    TestEditor t(2100);
    auto* top = t.Add<CountingWidget>(IRectangle{0, 0, 10, 10});
    t.Attach();
    EXPECT_EQ(t.editor->TopmostControlAt(5, 5), 1);
    EXPECT_TRUE(t.editor->KeyPress(kKeySpace, 5, 5));
    top->SetGreyed(true);
    EXPECT_FLOAT_EQ(top->Blend().weight, 0.25f);
    EXPECT_EQ(t.editor->TopmostControlAt(5, 5), 0);
    EXPECT_FALSE(t.editor->KeyPress(kKeySpace, 5, 5));  // over the background
    top->SetGreyed(false);
    EXPECT_FLOAT_EQ(top->Blend().weight, 1.0f);
    top->SetHidden(true);
    EXPECT_EQ(t.editor->TopmostControlAt(5, 5), 0);
    EXPECT_EQ(t.editor->TopmostControlAt(64, 5), -1);
    EXPECT_FALSE(t.editor->KeyPress(kKeySpace, 64, 5));

    struct Key {
        int vk, key;
    } keys[] = {{0x20, 0}, {0x26, 1}, {0x28, 2}, {0x25, 3},  {0x27, 4}, {'0', 5},   {'9', 14}, {'A', 15},
                {'Z', 40}, {'a', 15}, {'z', 40}, {0x0D, -1}, {'@', -1}, {0x60, -1}, {0x7B, -1}};
    for (const Key& k : keys) EXPECT_EQ(EditorKeyFromVirtualKey(k.vk), k.key) << k.vk;
}

}  // namespace
