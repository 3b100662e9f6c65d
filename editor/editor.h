// IEditor: the platform-neutral half of the plug-in's editor. It owns the
// ordered list of controls (paint order; index 0 is the background) and the
// drawing surface they paint into, loads pictures through the process-wide
// BitmapCache, runs the paint pass, routes pointer, wheel and key events to
// the control under the pointer, and carries parameter values from the
// plug-in to the controls. A window system (a subclass) supplies the window,
// the repaint timer and the copy of the surface to the screen.
//
// Threads: everything runs on the editor's window thread except
// ShowParameterInEditor, which host threads and the audio thread call too;
// it only stores values and flags into controls (atomics) that the next
// timer tick collects. The editor takes no lock of its own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "core/editor_link.h"
#include "core/host_types.h"
#include "editor/bitmap_ref.h"
#include "editor/widget.h"
#include "raster/mem_bitmap.h"
#include "raster/sys_bitmap.h"

class IEditorDelegate;
class ScaledStrip;

class IEditor : public IEditorLink {
public:
    IEditor(IEditorDelegate* plugin, int width, int height, int frameRate);
    // Deletes every control, last first, then the surfaces. Cached pictures
    // stay: they belong to the BitmapCache.
    ~IEditor() override;

    // ---- What the plug-in base needs (IEditorLink). ----
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    // The window's size at the current scale.
    int ScaledWidth() const override;
    int ScaledHeight() const override;
    // Window thread, while no window is open or from the window layer when
    // the screen's density changes: draws at scale (snapped to 1, 1.25,
    // 1.5, 1.75 or 2) from now on. Layout and every control rule stay in the
    // editor's own coordinates; only the surface and the pictures grow. A
    // new scale starts the surface over and repaints everything. Answers
    // the scale taken.
    double SetScale(double scale) override;
    double Scale() const override { return mScale; }
    void SetFollowsSystemScale(bool follows) override { mFollowsSystemScale = follows; }
    bool FollowsSystemScale() const { return mFollowsSystemScale; }
    // Any thread. A value that is not normalised is clamped to the
    // parameter's range and normalised first.
    void ShowParameterInEditor(int index, double value, bool isNormalized) override;
    void SetControlsFromPlugin(int index, double normalized) override;
    // The drawing surface (editor-sized, opaque black until painted) and the
    // empty scratch surface. They are made when the editor first paints or
    // hands out its surface, so a host that only scans the plug-in or
    // renders without a window never pays for them; a call after that
    // starts them over.
    void CreateSurfaces() override;
    bool OpenWindow(void* parent) override { return OpenEditorWindow(parent) != nullptr; }
    void CloseWindow() override { CloseEditorWindow(); }

    // ---- Building (plug-in constructor). ----
    void AddControl(std::unique_ptr<IWidget> control);
    // Inserts at the front of the list, beneath everything else.
    void AddBackground(std::unique_ptr<IWidget> control);
    // The cached picture for resourceId, loaded with LoadBitmapResource the
    // first time any editor asks. The file name and frame count are not part
    // of the key; a picture that cannot be had is cached as 0 x 0.
    IBitmapRef LoadBitmap(int resourceId, const char* fileName, int frames);

    // ---- Painting (window thread). ----
    // Paints every visible control that meets rect, in list order, and
    // finishes the paint of every control; then presents rect.
    bool PaintRegion(const IRectangle& rect);
    // Draws frame (1-based) of ref over rect, clipped to the paint region.
    bool DrawBitmapFrame(const IBitmapRef& ref, const IRectangle& rect, int frame, const IBlend* blend);
    // Draws ref from (srcX, srcY) over rect, clipped to the paint region.
    bool DrawBitmapAt(const IBitmapRef& ref, const IRectangle& rect, int srcX, int srcY, const IBlend* blend);
    // The union of the rectangles of every control that needs painting
    // (hidden ones too); false when none does. The window's timer invalidates
    // it.
    bool CollectDirtyRegion(IRectangle* region) const;
    // One tick of the repaint timer without a window in between: the dirty
    // region, clipped to the editor as a window system would clip it, is
    // painted at once. False when nothing needed painting.
    bool RepaintDirty();
    // Paints the whole editor.
    bool PaintAll();

    // ---- Routing (window thread). Coordinates are editor pixels. ----
    // The topmost visible, not greyed control containing (x, y): its index,
    // or -1.
    int TopmostControlAt(int x, int y) const;
    void PointerDown(int x, int y, const IMouseMods& mods);
    void PointerUp(int x, int y, const IMouseMods& mods);
    // Only while the window holds the pointer capture with a button down.
    void PointerDrag(int x, int y, const IMouseMods& mods);
    // Left button only. True when the control takes the double click as a
    // press, so the window must take the pointer capture.
    bool PointerDoubleClick(int x, int y, const IMouseMods& mods);
    void PointerWheel(int x, int y, const IMouseMods& mods, int steps);
    // key is an EditorKey code (editor/editor_keys.h); true when a control
    // took it. Keys over the background are never taken.
    bool KeyPress(int key, int x, int y);

    // ---- Window layers (window thread). ----
    // A rectangle of window pixels exposed or invalidated: the editor's
    // rectangle covering it is painted.
    bool PaintWindowRegion(const IRectangle& windowRect);

    // ---- Window-system slots; the order is part of the interface. ----
    // Copies rect of the surface to the window.
    virtual bool PresentRegion(const IRectangle& rect) = 0;
    bool IsWindowOpen() const override { return EditorWindow() != nullptr; }
    virtual const char* GraphicsApiName() const { return ""; }
    // The new window, or null when none could be made.
    virtual void* OpenEditorWindow(void* parent) = 0;
    virtual void CloseEditorWindow() = 0;
    virtual void* EditorWindow() const = 0;
    // The decoded picture stored under resourceId, or null when there is
    // none or fileName does not end in "png".
    virtual std::unique_ptr<IRasterBitmap> LoadBitmapResource(int resourceId, const char* fileName) = 0;

    // ---- Accessors. ----
    IEditorDelegate* Plugin() const { return mPlugin; }
    int ControlCount() const { return static_cast<int>(mControls.size()); }
    IWidget* Control(int i) const;
    // Window thread; makes the surfaces if they are not made yet. The
    // surface has the window's size at the current scale.
    SysBitmap* Surface();
    int FrameRate() const { return mFrameRate; }
    int CaptureIndex() const { return mCaptureIndex; }

private:
    void EnsureSurfaces();
    // Frame frame (0-based) of ref at the current scale (not 1), drawn over
    // rect (editor coordinates) from (srcX, srcY) of the frame.
    bool DrawScaled(const IBitmapRef& ref, const IRectangle& rect, int frame, int srcX, int srcY, const IBlend* blend);
    // The picture of ref at the current scale: the strip of its frames.
    ScaledStrip* ScaledPicture(const IBitmapRef& ref);

    std::vector<std::unique_ptr<IWidget>> mControls;
    IEditorDelegate* mPlugin;  // not owned
    IRectangle mPaintRect;
    std::unique_ptr<SysBitmap> mSurface;
    std::unique_ptr<MemBitmap> mScratchSurface;
    std::int32_t mWidth;
    std::int32_t mHeight;
    double mScale = 1.0;
    bool mFollowsSystemScale = false;
    // Strips of pictures made in code (no resource id), at this scale.
    std::map<const IRasterBitmap*, std::unique_ptr<ScaledStrip>> mOwnStrips;
    std::int32_t mFrameRate;
    std::int32_t mCaptureIndex = -1;
    std::int32_t mLastX = 0;
    std::int32_t mLastY = 0;
};

// The extension test applied to a resource's file name: the text after the
// last "." must be "png" in any case. A name without "." is judged by its
// text after the first character, as the resource loader always has.
bool HasPngResourceName(const char* fileName);
