#include "editor/editor.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "core/editor_delegate.h"
#include "editor/bitmap_cache.h"
#include "editor/editor_scale.h"
#include "editor/rect_rules.h"
#include "editor/scaled_strip.h"
#include "raster/blit.h"

namespace {

BlendMode ModeForBlend(const IBlend* blend) {
    if (!blend) return BlendCopy | UseSourceAlpha;
    switch (blend->method) {
        case IBlend::kOpaqueCopy:
            return BlendCopy;
        case IBlend::kAdd:
            return BlendAdd | UseSourceAlpha;
        case IBlend::kDodge:
            return BlendDodge | UseSourceAlpha;
        default:
            return BlendCopy | UseSourceAlpha;
    }
}

// Whether v fits an int32; offsets are worked in 64 bits so that no
// rectangle or frame number a caller passes can overflow them.
bool FitsInt(std::int64_t v) {
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

bool HasPngResourceName(const char* fileName) {
    if (!fileName || !*fileName) return false;
    const char* dot = std::strrchr(fileName, '.');
    const char* ext = dot ? dot + 1 : fileName + 1;
    return std::tolower(static_cast<unsigned char>(ext[0])) == 'p' &&
           std::tolower(static_cast<unsigned char>(ext[1])) == 'n' &&
           std::tolower(static_cast<unsigned char>(ext[2])) == 'g' && ext[3] == '\0';
}

IEditor::IEditor(IEditorDelegate* plugin, int width, int height, int frameRate)
    : mPlugin(plugin), mWidth(width), mHeight(height), mFrameRate(frameRate) {}

IEditor::~IEditor() {
    // Last added first: a control may refer to one added before it.
    while (!mControls.empty()) mControls.pop_back();
    mSurface.reset();
    mScratchSurface.reset();
}

int IEditor::ScaledWidth() const { return ScaledLength(mWidth, mScale); }
int IEditor::ScaledHeight() const { return ScaledLength(mHeight, mScale); }

double IEditor::SetScale(double scale) {
    const double snapped = SnapEditorScale(scale);
    if (snapped == mScale) return mScale;
    mScale = snapped;
    // Pictures made in code are resized for one scale only.
    mOwnStrips.clear();
    CreateSurfaces();
    for (const auto& control : mControls) control->MarkDirty(false);
    return mScale;
}

bool IEditor::PaintWindowRegion(const IRectangle& windowRect) {
    const IRectangle area = Intersection(UnscaleRectOut(windowRect, mScale), IRectangle{0, 0, mWidth, mHeight});
    if (IsEmpty(area)) return false;
    return PaintRegion(area);
}

IWidget* IEditor::Control(int i) const {
    if (i < 0 || i >= ControlCount()) return nullptr;
    return mControls[static_cast<std::size_t>(i)].get();
}

void IEditor::ShowParameterInEditor(int index, double value, bool isNormalized) {
    // Unbound controls carry index -1: no parameter moves them.
    if (index < 0) return;
    double v = value;
    if (!isNormalized) {
        if (!mPlugin) return;
        v = mPlugin->NormalizeParameterValue(index, value);
    }
    SetControlsFromPlugin(index, v);
}

void IEditor::SetControlsFromPlugin(int index, double normalized) {
    for (const auto& control : mControls) {
        if (control->ParamIndex() == index) control->ApplyPluginValue(normalized);
        if (control->AuxBindingCount() > 0) {
            const int binding = control->FindAuxBinding(index);
            if (binding >= 0) control->ApplyPluginAuxValue(binding, normalized);
        }
    }
}

void IEditor::CreateSurfaces() {
    // Made on first use (EnsureSurfaces); a surface made before starts over.
    mSurface.reset();
    mScratchSurface.reset();
}

SysBitmap* IEditor::Surface() {
    EnsureSurfaces();
    return mSurface.get();
}

void IEditor::EnsureSurfaces() {
    if (mSurface) return;
    mSurface = std::make_unique<SysBitmap>(ScaledWidth(), ScaledHeight());
    mScratchSurface = std::make_unique<MemBitmap>();
    // New storage holds whatever the allocator left; an editor whose
    // background cannot be drawn shows black rather than that.
    if (PackedPixel* pixels = mSurface->PixelPointer()) {
        for (int y = 0; y < mSurface->Height(); ++y) {
            PackedPixel* row = pixels + static_cast<std::ptrdiff_t>(y) * mSurface->RowStride();
            for (int x = 0; x < mSurface->Width(); ++x) row[x] = PackedPixel{0, 0, 0, 255};
        }
    }
}

void IEditor::AddControl(std::unique_ptr<IWidget> control) {
    if (control) mControls.push_back(std::move(control));
}

void IEditor::AddBackground(std::unique_ptr<IWidget> control) {
    if (control) mControls.insert(mControls.begin(), std::move(control));
}

IBitmapRef IEditor::LoadBitmap(int resourceId, const char* fileName, int frames) {
    IRasterBitmap* bitmap = BitmapCache::Find(resourceId);
    if (!bitmap) {
        std::unique_ptr<IRasterBitmap> loaded = LoadBitmapResource(resourceId, fileName);
        // A missing picture is cached empty: every control still gets a
        // bitmap, draws nothing with it, and the id is not searched again.
        if (!loaded) loaded = std::make_unique<MemBitmap>();
        bitmap = BitmapCache::Insert(resourceId, std::move(loaded));
    }
    IBitmapRef ref;
    ref.bitmap = bitmap;
    ref.width = bitmap ? bitmap->Width() : 0;
    ref.height = bitmap ? bitmap->Height() : 0;
    ref.frames = frames;
    ref.framesHorizontal = false;
    ref.resourceId = resourceId;
    ref.fileName = fileName;
    return ref;
}

bool IEditor::PaintRegion(const IRectangle& rect) {
    EnsureSurfaces();
    mPaintRect = rect;
    for (const auto& control : mControls) {
        if (!control->IsHidden() && Meets(rect, control->Rect())) control->Paint(*this);
        control->FinishPaint();
    }
    return PresentRegion(rect);
}

bool IEditor::DrawBitmapFrame(const IBitmapRef& ref, const IRectangle& rect, int frame, const IBlend* blend) {
    if (mScale != 1.0) {
        // Frames are counted, not measured: a resized strip's frame height
        // is its own.
        const int index = ref.frames > 1 && frame > 1 ? frame - 1 : 0;
        if (ref.frames > 1 && index >= ref.frames) return true;
        return DrawScaled(ref, rect, index, 0, 0, blend);
    }
    std::int64_t srcX = 0;
    std::int64_t srcY = 0;
    if (ref.frames > 1 && frame > 1) {
        const double side = ref.framesHorizontal ? ref.width : ref.height;
        const double offset = std::trunc(side * (frame - 1) / ref.frames + 0.5);
        // A frame past the end of the strip starts beyond the picture: there
        // is nothing of it to draw.
        if (!(offset < side)) return true;
        (ref.framesHorizontal ? srcX : srcY) = static_cast<std::int64_t>(offset);
    }
    return DrawBitmapAt(ref, rect, static_cast<int>(srcX), static_cast<int>(srcY), blend);
}

bool IEditor::DrawBitmapAt(const IBitmapRef& ref, const IRectangle& rect, int srcX, int srcY, const IBlend* blend) {
    if (mScale != 1.0) return DrawScaled(ref, rect, 0, srcX, srcY, blend);
    const IRectangle clip = Intersection(rect, mPaintRect);
    const std::int64_t left = std::int64_t{srcX} + clip.left - rect.left;
    const std::int64_t top = std::int64_t{srcY} + clip.top - rect.top;
    const std::int64_t right = left + RectWidth(clip);
    const std::int64_t bottom = top + RectHeight(clip);
    if (IsEmpty(clip) || !FitsInt(left) || !FitsInt(top) || !FitsInt(right) || !FitsInt(bottom)) return true;
    const IRectangle source{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                            static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    // BlitBitmap clips the source area to the picture and the destination
    // to the surface, so no rectangle or frame can read or write outside.
    BlitBitmap(mSurface.get(), ref.bitmap, clip.left, clip.top, &source, blend ? blend->weight : 1.0f,
               ModeForBlend(blend));
    return true;
}

namespace {

struct StripRequest {
    IEditor* editor;
    const IBitmapRef* ref;
    int frameWidth;
    int frameHeight;
};

// The strip of a resource picture at a scale: resized from its 2x drawing
// (which the editor loads only now, when a scale above 1 is in use), or
// from the 1x picture where there is no 2x one.
std::unique_ptr<ScaledStrip> MakeResourceStrip(void* context) {
    const auto* request = static_cast<const StripRequest*>(context);
    const IBitmapRef& ref = *request->ref;
    const std::string name = DoubleScaleFileName(ref.fileName);
    const IBitmapRef hi = request->editor->LoadBitmap(ref.resourceId + kDoubleScaleIdOffset, name.c_str(), ref.frames);
    IRasterBitmap* source = hi.width > 0 && hi.height > 0 ? hi.bitmap : ref.bitmap;
    return std::make_unique<ScaledStrip>(source, ref.frames, request->frameWidth, request->frameHeight);
}

}  // namespace

ScaledStrip* IEditor::ScaledPicture(const IBitmapRef& ref) {
    const int frameWidth = ScaledLength(ref.FrameWidth(), mScale);
    const int frameHeight = ScaledLength(ref.FrameHeight(), mScale);
    if (ref.resourceId >= 0) {
        StripRequest request{this, &ref, frameWidth, frameHeight};
        return ScaledStrips::Get(ref.resourceId, ScaleQuarters(mScale), MakeResourceStrip, &request);
    }
    if (!ref.bitmap) return nullptr;
    std::unique_ptr<ScaledStrip>& own = mOwnStrips[ref.bitmap];
    if (!own) own = std::make_unique<ScaledStrip>(ref.bitmap, ref.frames, frameWidth, frameHeight);
    return own.get();
}

bool IEditor::DrawScaled(const IBitmapRef& ref, const IRectangle& rect, int frame, int srcX, int srcY,
                         const IBlend* blend) {
    if (IsEmpty(rect) || ref.width <= 0 || ref.height <= 0) return true;
    IRasterBitmap* source = nullptr;
    int frameTop = 0;
    int frameHeight = 0;
    // At 2x the drawing made at 2x is drawn as it is, when there is one of
    // exactly twice the size; otherwise the resized strip.
    if (ScaleQuarters(mScale) == 4 && ref.resourceId >= 0) {
        const std::string name = DoubleScaleFileName(ref.fileName);
        const IBitmapRef hi = LoadBitmap(ref.resourceId + kDoubleScaleIdOffset, name.c_str(), ref.frames);
        if (hi.width == 2 * ref.width && hi.height == 2 * ref.height) {
            source = hi.bitmap;
            frameHeight = hi.FrameHeight();
            frameTop = frame * frameHeight;
        }
    }
    if (!source) {
        ScaledStrip* strip = ScaledPicture(ref);
        source = strip ? strip->Frame(frame) : nullptr;
        if (!source) return true;
        frameHeight = strip->FrameHeight();
    }
    // Where rect lies on the surface, and the part of it this paint covers.
    const int x0 = ScaledLength(rect.left, mScale);
    const int y0 = ScaledLength(rect.top, mScale);
    const std::int64_t offsetX = static_cast<std::int64_t>(std::llround(static_cast<double>(srcX) * mScale));
    const std::int64_t offsetY = static_cast<std::int64_t>(std::llround(static_cast<double>(srcY) * mScale));
    IRectangle target{x0, y0, ScaledLength(rect.right, mScale), ScaledLength(rect.bottom, mScale)};
    // Never past the frame: the next frame lies below it.
    const std::int64_t frameBottom = std::int64_t{y0} + frameHeight - offsetY;
    if (frameBottom < target.bottom) target.bottom = static_cast<std::int32_t>(std::max<std::int64_t>(y0, frameBottom));
    const IRectangle clip = Intersection(target, ScaleRectOut(mPaintRect, mScale));
    const std::int64_t left = offsetX + clip.left - x0;
    const std::int64_t top = frameTop + offsetY + clip.top - y0;
    const std::int64_t right = left + RectWidth(clip);
    const std::int64_t bottom = top + RectHeight(clip);
    if (IsEmpty(clip) || !FitsInt(left) || !FitsInt(top) || !FitsInt(right) || !FitsInt(bottom)) return true;
    const IRectangle area{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                          static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    BlitBitmap(mSurface.get(), source, clip.left, clip.top, &area, blend ? blend->weight : 1.0f, ModeForBlend(blend));
    return true;
}

bool IEditor::CollectDirtyRegion(IRectangle* region) const {
    IRectangle all{};
    bool any = false;
    for (const auto& control : mControls) {
        if (!control->NeedsPaint()) continue;
        any = true;
        all = BoundingUnion(all, control->Rect());
    }
    if (region) *region = all;
    return any;
}

bool IEditor::RepaintDirty() {
    IRectangle region;
    if (!CollectDirtyRegion(&region)) return false;
    region = Intersection(region, IRectangle{0, 0, mWidth, mHeight});
    if (IsEmpty(region)) return false;
    return PaintRegion(region);
}

bool IEditor::PaintAll() { return PaintRegion(IRectangle{0, 0, mWidth, mHeight}); }

int IEditor::TopmostControlAt(int x, int y) const {
    for (int i = ControlCount() - 1; i >= 0; --i) {
        const IWidget* c = mControls[static_cast<std::size_t>(i)].get();
        if (!c->IsHidden() && !c->IsGreyed() && c->Contains(x, y)) return i;
    }
    return -1;
}

void IEditor::PointerDown(int x, int y, const IMouseMods& mods) {
    mLastX = mLastY = -1;
    mCaptureIndex = -1;
    const int i = TopmostControlAt(x, y);
    if (i < 0) return;
    mCaptureIndex = i;
    mLastX = x;
    mLastY = y;
    IWidget* c = Control(i);
    if (c->ParamIndex() >= 0 && mPlugin) mPlugin->BeginEditGesture(c->ParamIndex());
    c->OnPointerDown(x, y, mods);
}

void IEditor::PointerUp(int x, int y, const IMouseMods& mods) {
    const int target = mCaptureIndex >= 0 ? mCaptureIndex : TopmostControlAt(x, y);
    mLastX = mLastY = -1;
    mCaptureIndex = -1;
    IWidget* c = Control(target);
    if (!c) return;
    c->OnPointerUp(x, y, mods);
    if (c->ParamIndex() >= 0 && mPlugin) mPlugin->EndEditGesture(c->ParamIndex());
}

void IEditor::PointerDrag(int x, int y, const IMouseMods& mods) {
    IWidget* c = Control(mCaptureIndex);
    if (!c || (x == mLastX && y == mLastY)) return;
    const int dX = x - mLastX;
    const int dY = y - mLastY;
    mLastX = x;
    mLastY = y;
    c->OnPointerDrag(x, y, dX, dY, mods);
}

bool IEditor::PointerDoubleClick(int x, int y, const IMouseMods& mods) {
    mLastX = mLastY = -1;
    mCaptureIndex = -1;
    const int i = TopmostControlAt(x, y);
    IWidget* c = Control(i);
    if (!c) return false;
    if (c->DoubleClickAsPress()) {
        // A press without an edit gesture: the release that follows closes
        // one all the same, as for any release on a bound control.
        mCaptureIndex = i;
        mLastX = x;
        mLastY = y;
        c->OnPointerDown(x, y, mods);
        return true;
    }
    c->OnPointerDoubleClick(x, y, mods);
    return false;
}

void IEditor::PointerWheel(int x, int y, const IMouseMods& mods, int steps) {
    IWidget* c = Control(mCaptureIndex >= 0 ? mCaptureIndex : TopmostControlAt(x, y));
    if (c) c->OnWheel(x, y, mods, steps);
}

bool IEditor::KeyPress(int key, int x, int y) {
    const int target = mCaptureIndex >= 0 ? mCaptureIndex : TopmostControlAt(x, y);
    // Keys aimed at the background would go to a key-catcher control; this
    // editor has none, so they go back to the host.
    if (target <= 0) return false;
    return Control(target)->OnKey(x, y, key);
}
