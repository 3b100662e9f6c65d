// Velmor's editor with its real pictures: what opens, what a click, a drag
// or a host change shows, and the needle meter's layers and animations.
// Expected pixels are composed from the pictures' own frames (decoded here
// from the embedded PNGs), never copied from the editor's output.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "editor/bitmap_cache.h"
#include "editor/editor.h"
#include "editor/editor_offscreen.h"
#include "editor/frame_for_value.h"
#include "editor/resource_source.h"
#include "plugin/mode_switch.h"
#include "plugin/needle_math.h"
#include "plugin/velmor.h"
#include "plugin/velmor_pictures.h"
#include "plugin/vu_control.h"
#include "raster/blit.h"
#include "raster/mem_bitmap.h"
#include "raster/png_loader.h"
#include "tests/vst/test_host.h"
#include "vst/in_process_effect.h"

namespace {

// A picture decoded straight from the embedded bytes: as drawn for the
// panel's size, or (scale 2) its drawing at twice the size.
std::unique_ptr<MemBitmap> Decode(const VelmorPicture& picture, int scale = 1) {
    IResourceBytes bytes;
    if (!FindVelmorResource(picture.id + (scale == 2 ? 1000 : 0), &bytes)) return nullptr;
    return LoadPngFromMemory(bytes.data, bytes.size);
}

// A 456 x 416 picture (times scale) built layer by layer from the pictures'
// frames; positions are the panel's.
class Composite {
public:
    explicit Composite(int scale = 1) : mScale(scale), mImage(std::make_unique<MemBitmap>(456 * scale, 416 * scale)) {
        auto bg = Decode(pictures::kBackground, scale);
        BlitBitmap(mImage.get(), bg.get(), 0, 0, nullptr, 1.0f, BlendCopy);
    }
    // Frame (1-based) of picture with its top-left corner at (x, y).
    Composite& Layer(const VelmorPicture& picture, int frame, int x, int y) {
        auto strip = Decode(picture, mScale);
        const int h = strip->Height() / picture.frames;
        const IRectangle source{0, (frame - 1) * h, strip->Width(), frame * h};
        BlitBitmap(mImage.get(), strip.get(), x * mScale, y * mScale, &source, 1.0f, BlendCopy | UseSourceAlpha);
        return *this;
    }
    const MemBitmap& Image() const { return *mImage; }

private:
    int mScale;
    std::unique_ptr<MemBitmap> mImage;
};

// Count of pixels in r where the editor's surface and the composite differ.
int Differences(IEditor& editor, const MemBitmap& expected, const IRectangle& r) {
    const SysBitmap* s = editor.Surface();
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const PackedPixel a = s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x];
            const PackedPixel b = expected.PixelPointer()[static_cast<std::ptrdiff_t>(y) * expected.RowStride() + x];
            if (PixelWord(a) != PixelWord(b)) ++n;
        }
    }
    return n;
}

std::vector<std::uint32_t> SurfaceCopy(IEditor& editor) {
    const SysBitmap* s = editor.Surface();
    std::vector<std::uint32_t> copy;
    for (int y = 0; y < s->Height(); ++y)
        for (int x = 0; x < s->Width(); ++x)
            copy.push_back(PixelWord(s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x]));
    return copy;
}

const IRectangle kMeter{96, 33, 360, 169};

// The meter as it must look: face, needle, LED, cap, lamp, frame.
Composite MeterComposite(int needleFrame, const VelmorPicture& led, int ledFrame, const VelmorPicture& lamp,
                         int lampFrame) {
    Composite c;
    c.Layer(pictures::kDriveMeterFace, 1, 96, 33)
        .Layer(pictures::kNeedle, needleFrame, 96, 33)
        .Layer(led, ledFrame, 96 + 234, 33 + 109)
        .Layer(pictures::kCap, 1, 96, 33)
        .Layer(lamp, lampFrame, 96, 33)
        .Layer(pictures::kMeterFrame, 1, 96, 33);
    return c;
}

class VelmorEditor : public ::testing::Test {
protected:
    void SetUp() override {
        TestHost::Get().Reset();
        Dispatch(effOpen);
        Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
        Dispatch(effMainsChanged, 0, 1);
        editor = v.EditorView();
        ASSERT_NE(editor, nullptr);
    }
    VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        return effect.Record()->dispatcher(effect.Record(), op, index, value, ptr, opt);
    }
    void Set(int index, float x) { effect.Record()->setParameter(effect.Record(), index, x); }
    float Get(int index) { return effect.Record()->getParameter(effect.Record(), index); }
    // One block of silence: the chain hands the meters the power state.
    void ProcessSilence(int frames = 64) {
        std::vector<float> in(static_cast<std::size_t>(frames)), out(in.size());
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        effect.Record()->processReplacing(effect.Record(), ins, outs, frames);
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) editor->RepaintDirty();
    }
    void FeedMeter(double level, double seconds) {
        for (int i = 0; i < static_cast<int>(48000 * seconds); ++i) v.DriveMeter().SetLevel(level, 48000);
    }

    InProcessEffect effect{TestHost::Callback};
    Velmor& v = effect.As<Velmor>();
    IEditor* editor = nullptr;
};

TEST_F(VelmorEditor, EveryPictureIsEmbeddedAndDecodes) {
    for (const VelmorPicture& p : pictures::kAll) {
        auto bitmap = Decode(p);
        ASSERT_TRUE(bitmap) << p.fileName;
        EXPECT_EQ(bitmap->Height() % p.frames, 0) << p.fileName;
    }
}

TEST_F(VelmorEditor, OpensWithBackgroundTwoKnobsThreeSwitchesAndOneMeter) {
    ASSERT_EQ(editor->ControlCount(), 17);
    const IRectangle view{0, 0, 456, 416};
    std::vector<int> visibleParams;
    int meters = 0;
    for (int i = 0; i < editor->ControlCount(); ++i) {
        const IRectangle& r = editor->Control(i)->Rect();
        if (r.left >= view.right || r.top >= view.bottom || r.right <= 0 || r.bottom <= 0) continue;
        if (dynamic_cast<VuControl*>(editor->Control(i))) ++meters;
        visibleParams.push_back(editor->Control(i)->ParamIndex());
    }
    // Background, "Pres Comp", "Low Cut", "Presence", "Db Output", "Power",
    // the drive meter: in paint order.
    EXPECT_EQ(visibleParams, (std::vector<int>{-1, 0, 1, 2, 6, 7, -1}));
    EXPECT_EQ(meters, 1);
    EXPECT_EQ(editor->Control(11), v.DriveMeterControl());
}

TEST_F(VelmorEditor, AClickWherePowerOverlapsPresenceTogglesPowerOnly) {
    ASSERT_EQ(Get(Velmor::kPower), 1.0f);
    editor->PointerDown(200, 345, IMouseMods{true});
    editor->PointerUp(200, 345, IMouseMods{true});
    EXPECT_EQ(Get(Velmor::kPower), 0.0f);
    EXPECT_EQ(Get(Velmor::kPresence), 1.0f);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterBeginEdit), 1);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterEndEdit), 1);
}

// A host may set a switch to any normalised value; the switch shows what the
// parameter kept, so the next click turns it over.
TEST_F(VelmorEditor, AClickTurnsOverWhatAHostsFractionalValueLeft) {
    auto pointOn = [&](int index, int* px, int* py) {
        for (int y = 0; y < editor->Height(); ++y)
            for (int x = 0; x < editor->Width(); ++x) {
                const IWidget* c = editor->Control(editor->TopmostControlAt(x, y));
                if (c && c->ParamIndex() == index) {
                    *px = x;
                    *py = y;
                    return true;
                }
            }
        return false;
    };
    struct Row {
        int index;
        float host, kept, afterClick;
    } rows[] = {{Velmor::kLowCut, 0.3f, 0.0f, 1.0f},
                {Velmor::kLowCut, 0.7f, 1.0f, 0.0f},
                {Velmor::kPresence, 0.4f, 0.0f, 1.0f},
                {Velmor::kPower, 0.2f, 0.0f, 1.0f}};
    for (const Row& r : rows) {
        int x = 0, y = 0;
        ASSERT_TRUE(pointOn(r.index, &x, &y)) << r.index;
        Set(r.index, r.host);
        EXPECT_EQ(Get(r.index), r.kept);
        editor->PointerDown(x, y, IMouseMods{true});
        editor->PointerUp(x, y, IMouseMods{true});
        EXPECT_EQ(Get(r.index), r.afterClick) << r.index << " set to " << r.host;
    }
}

// At twice the size the panel is the pictures drawn at 2x, composed as at
// 1x, pixel for pixel; a 1x editor never decodes them.
TEST_F(VelmorEditor, AtTwiceTheSizeThePanelIsTheTwiceDrawnPictures) {
    EXPECT_EQ(BitmapCache::Find(pictures::kBackground.id + 1000), nullptr);
    editor->PaintAll();
    EXPECT_EQ(BitmapCache::Find(pictures::kBackground.id + 1000), nullptr);
    EXPECT_EQ(editor->SetScale(2.0), 2.0);
    EXPECT_EQ(editor->ScaledWidth(), 912);
    EXPECT_EQ(editor->ScaledHeight(), 832);
    FeedMeter(1.0, 6.0);
    editor->PaintAll();
    Ticks(60);  // the lamp has warmed up
    Composite expected(2);
    expected.Layer(pictures::kKnob, FrameForValue(17.5 / 30.0, 240), 64, 232)
        .Layer(pictures::kSmallSwitch, 2, 228, 341)
        .Layer(pictures::kSmallSwitch, 2, 174, 341)
        .Layer(pictures::kKnob, FrameForValue(0.6, 240), 264, 232)
        .Layer(pictures::kPowerSwitch, 2, 178, 248)
        .Layer(pictures::kDriveMeterFace, 1, 96, 33)
        .Layer(pictures::kNeedle, NeedleFrame(v.DriveMeter().Level()), 96, 33)
        .Layer(pictures::kGreenLed, 1, 96 + 234, 33 + 109)
        .Layer(pictures::kCap, 1, 96, 33)
        .Layer(pictures::kOnState, 60, 96, 33)
        .Layer(pictures::kMeterFrame, 1, 96, 33);
    EXPECT_EQ(Differences(*editor, expected.Image(), IRectangle{0, 0, 912, 832}), 0);
    // Back at 1x: today's pixels.
    EXPECT_EQ(editor->SetScale(1.0), 1.0);
    editor->PaintAll();
    Ticks(1);
    EXPECT_EQ(
        Differences(
            *editor,
            MeterComposite(NeedleFrame(v.DriveMeter().Level()), pictures::kGreenLed, 1, pictures::kOnState, 60).Image(),
            kMeter),
        0);
}

// The scales between are the 2x drawing resized: the window's size at each,
// and a panel that looks like the 2x one made smaller (a good filter keeps
// it within a few levels of the average of the pixels it covers).
TEST_F(VelmorEditor, ScalesBetweenAreResizedFromTheTwiceDrawnPictures) {
    struct Row {
        double asked, taken;
        int width, height;
    } rows[] = {{1.25, 1.25, 570, 520}, {1.5, 1.5, 684, 624}, {1.7, 1.75, 798, 728},
                {3.0, 2.0, 912, 832},   {0.5, 1.0, 456, 416}, {std::nan(""), 1.0, 456, 416}};
    for (const Row& r : rows) {
        EXPECT_EQ(editor->SetScale(r.asked), r.taken) << r.asked;
        EXPECT_EQ(editor->ScaledWidth(), r.width);
        EXPECT_EQ(editor->ScaledHeight(), r.height);
        editor->PaintAll();
        EXPECT_EQ(editor->Surface()->Width(), r.width);
    }
    // At 1.5 a block of 12 x 12 pixels of the 2x drawing is 9 x 9 here; on
    // the plain plate between the corner screw and the maker's name every
    // block keeps its brightness.
    editor->SetScale(1.5);
    editor->PaintAll();
    auto bg = Decode(pictures::kBackground, 2);
    const SysBitmap* s = editor->Surface();
    int far = 0;
    for (int by = 5; by < 8; ++by) {
        for (int bx = 1; bx < 12; ++bx) {
            double source = 0, shown = 0;
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 12; ++x)
                    source += bg->PixelPointer()[(by * 12 + y) * bg->RowStride() + bx * 12 + x].g;
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 9; ++x) shown += s->PixelPointer()[(by * 9 + y) * s->RowStride() + bx * 9 + x].g;
            far += std::fabs(source / 144 - shown / 81) > 1.0;
        }
    }
    EXPECT_EQ(far, 0);
}

TEST_F(VelmorEditor, KnobDragsAndTheFramesTheyShow) {
    struct Drag {
        IMouseMods mods;
        float value;
    } drags[] = {{{true}, 0.5625f}, {{true, false, true}, 0.50625f}};
    for (const Drag& d : drags) {
        Set(Velmor::kPresComp, 0.5f);
        editor->PointerDown(128, 296, d.mods);
        editor->PointerDrag(128, 264, d.mods);  // 32 px up
        editor->PointerUp(128, 264, d.mods);
        EXPECT_FLOAT_EQ(Get(Velmor::kPresComp), d.value);
    }
    // The knob's frame for values 0, 0.5 and 1, left of where "Power"
    // overlaps it.
    struct Shown {
        float value;
        int frame;
    } shown[] = {{0.0f, 1}, {0.5f, 121}, {1.0f, 240}};
    for (const Shown& s : shown) {
        Set(Velmor::kPresComp, s.value);
        editor->PaintAll();
        Composite expected;
        expected.Layer(pictures::kKnob, s.frame, 64, 232);
        EXPECT_EQ(Differences(*editor, expected.Image(), IRectangle{64, 232, 178, 360}), 0) << s.value;
    }
}

TEST_F(VelmorEditor, NeedleSettlesAtTheZeroMarkForFullScaleAndTheLedLightsAbove) {
    FeedMeter(1.0, 6.0);
    const double level = v.DriveMeter().Level();
    EXPECT_LT(level, 1.0);
    EXPECT_EQ(NeedleFrame(level), 168);
    Ticks(60);  // the lamp has warmed up
    EXPECT_EQ(Differences(*editor, MeterComposite(168, pictures::kGreenLed, 1, pictures::kOnState, 60).Image(), kMeter),
              0);

    FeedMeter(1.99526, 3.0);
    EXPECT_GT(v.DriveMeter().Level(), 1.0);
    Ticks(1);
    EXPECT_EQ(
        Differences(
            *editor,
            MeterComposite(NeedleFrame(v.DriveMeter().Level()), pictures::kGreenLed, 2, pictures::kOnState, 60).Image(),
            kMeter),
        0);
}

TEST_F(VelmorEditor, LampWarmsUpOnOpeningAndDiesAwayAfterPowerOff) {
    VuControl* meter = v.DriveMeterControl();
    auto lampFrame = [&] { return FrameForValue(meter->Fade(), VuControl::kFadeLength); };
    for (int tick = 1; tick <= 59; ++tick) {
        editor->RepaintDirty();
        ASSERT_EQ(lampFrame(), tick + 1) << tick;  // on-state frames 2..60
    }
    EXPECT_EQ(Differences(*editor, MeterComposite(1, pictures::kGreenLed, 1, pictures::kOnState, 60).Image(), kMeter),
              0);

    Set(Velmor::kPower, 0.0f);
    ProcessSilence();
    for (int tick = 1; tick <= 59; ++tick) {
        editor->RepaintDirty();
        // The off-state strip runs at 1 - fade: frames 2..60.
        ASSERT_EQ(FrameForValue(1.0 - meter->Fade(), VuControl::kFadeLength), tick + 1) << tick;
        if (tick == 1 || tick == 30) {
            EXPECT_EQ(
                Differences(*editor, MeterComposite(1, pictures::kGreenLed, 1, pictures::kOffState, tick + 1).Image(),
                            kMeter),
                0)
                << tick;
        }
    }
    EXPECT_EQ(Differences(*editor, MeterComposite(1, pictures::kGreenLed, 1, pictures::kOffState, 60).Image(), kMeter),
              0);
}

TEST_F(VelmorEditor, HostChangesToHiddenControlsChangeNoVisiblePixelButModeTurnsTheLed) {
    editor->PaintAll();
    Ticks(60);
    const std::vector<std::uint32_t> settled = SurfaceCopy(*editor);
    for (int index : {Velmor::kBass, Velmor::kCrispy, Velmor::kFinalComp, Velmor::kPLimit, Velmor::kFLimit}) {
        Set(index, 0.8f);
        Ticks(3);
        EXPECT_TRUE(SurfaceCopy(*editor) == settled) << index;
    }
    // Mode: 0 and 1 are "A" with a green LED; 2..4 light it red.
    struct Row {
        float value;
        bool red;
    } rows[] = {{0.0f, false}, {0.25f, false}, {0.5f, true}, {0.75f, true}, {1.0f, true}};
    for (const Row& r : rows) {
        Set(Velmor::kMode, r.value);
        Ticks(1);
        const VelmorPicture& led = r.red ? pictures::kRedLed : pictures::kGreenLed;
        EXPECT_EQ(Differences(*editor, MeterComposite(1, led, 1, pictures::kOnState, 60).Image(), kMeter), 0)
            << r.value;
    }
}

// The host knows what it sets: no value it sets, types, loads or recalls
// comes back to it as an edit, neither when the controls take it nor when
// they paint it.
TEST_F(VelmorEditor, HostChangesAreNotReportedBackAsEdits) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, 1, 0, &data);
    ASSERT_GT(size, 0);
    std::vector<unsigned char> program(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    editor->PaintAll();
    for (int index = 0; index < effect.Record()->numParams; ++index) {
        for (float x : {1.0f, 0.37f, 0.0f}) {
            Set(index, x);
            Ticks(1);
        }
    }
    Dispatch(effString2Parameter, Velmor::kPresComp, 0, const_cast<char*>("7"));
    Ticks(1);
    Dispatch(effSetChunk, 1, size, program.data());
    Ticks(1);
    Dispatch(effSetProgram, 0, 0);
    Ticks(1);
    for (VstInt32 op : {audioMasterAutomate, audioMasterBeginEdit, audioMasterEndEdit})
        EXPECT_EQ(TestHost::Get().CountOf(op), 0) << op;
}

// The Mode buttons sit outside the editor (two pairs on top of each other);
// an editor wide enough to reach x = 1000 shows each one alone.
TEST_F(VelmorEditor, ModeButtonsLightForTheirModeAndSelectItWhenPressed) {
    const VelmorPicture buttons[] = {pictures::kModeA, pictures::kModeB, pictures::kModeC, pictures::kModeD};
    const int ys[] = {48, 120, 48, 120};
    for (int i = 0; i < 4; ++i) {
        IEditorOffscreen wide(&v, 1100, 200, 25, FindVelmorResource);
        const IBitmapRef ref = wide.LoadBitmap(buttons[i].id, buttons[i].fileName, 2);
        wide.AddControl(std::make_unique<ModeSwitch>(&v, ys[i], i + 1, ref, Velmor::kDriveMeter));
        wide.CreateSurfaces();
        auto strip = Decode(buttons[i]);
        for (int mode = 0; mode <= 4; ++mode) {
            Set(Velmor::kMode, mode / 4.0f);
            EXPECT_TRUE(wide.Control(0)->NeedsPaint()) << mode;  // a new Mode since the last paint
            wide.CreateSurfaces();                               // a black surface again
            wide.PaintRegion(IRectangle{0, 0, 1100, 200});
            EXPECT_FALSE(wide.Control(0)->NeedsPaint());
            const int lit = (mode == i + 1 || (i == 0 && mode == 0)) ? 2 : 1;
            MemBitmap expected(50, 50);
            for (int y = 0; y < 50; ++y)
                for (int x = 0; x < 50; ++x)
                    expected.PixelPointer()[y * expected.RowStride() + x] = PackedPixel{0, 0, 0, 255};
            const IRectangle frame{0, (lit - 1) * 50, 50, lit * 50};
            BlitBitmap(&expected, strip.get(), 0, 0, &frame, 1.0f, BlendCopy | UseSourceAlpha);
            int differences = 0;
            const SysBitmap* surface = wide.Surface();
            for (int y = 0; y < 50; ++y) {
                for (int x = 0; x < 50; ++x) {
                    const PackedPixel a = surface->PixelPointer()[(ys[i] + y) * surface->RowStride() + 1000 + x];
                    differences += PixelWord(a) != PixelWord(expected.PixelPointer()[y * expected.RowStride() + x]);
                }
            }
            EXPECT_EQ(differences, 0) << "mode " << mode << ", button " << i + 1;
        }
    }
    // A press on the button of Mode 3 selects 3, and again when it is on.
    IEditorOffscreen wide(&v, 1100, 200, 25, FindVelmorResource);
    wide.AddControl(std::make_unique<ModeSwitch>(&v, 48, 3, wide.LoadBitmap(pictures::kModeC.id, "ModeC.png", 2),
                                                 Velmor::kDriveMeter));
    wide.CreateSurfaces();
    for (int repeat = 0; repeat < 2; ++repeat) {
        wide.PointerDown(1010, 60, IMouseMods{false, true});
        wide.PointerUp(1010, 60, IMouseMods{false, true});
        EXPECT_EQ(v.GetParam(Velmor::kMode)->Value(), 3.0);
        EXPECT_FLOAT_EQ(Get(Velmor::kMode), 0.75f);
    }
}

}  // namespace
