// The flat owner-drawn push button of every page and of the main window:
// a bitmap or icon with its caption, a hover image, a multi-line tooltip
// and its own mouse pointer.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/Window.h"

class ImageButton : public ui::Window {
public:
    // Normal-icon argument of SetIconPair/LoadIconPair: a grey copy of the hover icon.
    static const INT_PTR GREY_COPY = -2;

    ImageButton();
    ~ImageButton() override;

    // Takes over the push button `id` of `parent`.
    bool SubclassDlgItem(int id, HWND parent);

    DWORD LoadIconPair(int hoverIconId, INT_PTR normalIconId);
    DWORD SetIconPair(HICON hoverIcon, HICON normalIcon, bool makeGreyNormal = false);
    DWORD LoadBitmapPair(int hoverBitmapId, COLORREF hoverTransparent, int normalBitmapId,
                         COLORREF normalTransparent);
    DWORD SetBitmapPair(HBITMAP hoverBitmap, COLORREF hoverTransparent, HBITMAP normalBitmap,
                        COLORREF normalTransparent);
    DWORD SetImagePlacement(int placement, bool repaint = true);
    DWORD EnableHoverFrame(bool enable, bool repaint = true);
    DWORD SetPointerCursor(int cursorId, bool repaint = true);
    void SetTipText(const char* text, bool activate = true);
    void ResetColors(bool repaint = true);
    void ReleaseImages(bool destroy);
    // Sets the normal bitmap aside (false), so that the hover bitmap shows
    // in every state, or puts it back (true), without loading it again.
    void ShowNormalBitmap(bool show, bool repaint = true);

    bool IsHovering() const { return m_bMouseOver; }
    int ImagePlacement() const { return m_nImagePlacement; }
    HWND ToolTip() const { return m_tipCtrl; }
    // The images in use, hover first (for the owner's checks).
    HBITMAP Bitmap(int which) const { return m_bitmapPair[which].bitmap; }
    HBITMAP Mask(int which) const { return m_bitmapPair[which].mask; }
    HICON Icon(int which) const { return m_iconPair[which].icon; }
    HCURSOR Pointer() const { return m_hPointer; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnAttached() override;
    void OnFinalDestroy() override;

private:
    struct IconEntry {
        HICON icon;
        DWORD width;
        DWORD height;
    };
    struct BitmapEntry {
        HBITMAP bitmap;
        DWORD width;
        DWORD height;
        HBITMAP mask;
        COLORREF transparent;
        bool shared;  // loaded from a resource and shared with other buttons
    };
    enum { COLOR_HOVER_BG, COLOR_HOVER_TEXT, COLOR_NORMAL_BG, COLOR_NORMAL_TEXT, COLOR_FOCUS_BG,
           COLOR_FOCUS_TEXT, COLOR_COUNT };

    void DrawItem(const DRAWITEMSTRUCT& item);
    void DrawImage(HDC dc, bool hasTitle, const RECT& itemRect, RECT* titleRect);
    void DrawTitle(HDC dc, const char* title, RECT* titleRect);
    static void Draw3dRectangle(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight);
    void PrepareImageRect(bool hasTitle, const RECT& itemRect, RECT* titleRect, DWORD width,
                          DWORD height, RECT* imageRect) const;
    void TrackHover(WPARAM keys, LPARAM position);
    void EndHover();
    void CreateToolTip();
    void AddTool(const char* text, bool activate);
    void Repaint(bool repaint);
    static HBITMAP CreateMask(HBITMAP bitmap, DWORD width, DWORD height, COLORREF transparent);
    // A bitmap resource and its mask made straight from its pixels; false
    // when it is not a plain 24- or 32-bit bitmap.
    static bool LoadPictureWithMask(int id, COLORREF transparent, BitmapEntry* entry);
    // A resource's bitmap with its mask, shared where possible: 0, or the
    // result of SetBitmapPair for a bitmap whose size or mask fails. A
    // resource that cannot be loaded leaves `entry` empty.
    static DWORD AcquirePicture(int id, COLORREF transparent, BitmapEntry* entry);
    // Fills `entry` with the bitmap, its size and a new mask: 0; 1 when the
    // size cannot be read, 2 when no mask can be made (`entry` unchanged).
    static DWORD MaskedEntry(HBITMAP bitmap, COLORREF transparent, BitmapEntry* entry);
    static void ReleasePicture(const BitmapEntry& entry);
    static HICON CreateGreyIcon(HICON icon);

    bool m_bEmbossWhenDisabled = true;
    bool m_bFlatStyle = true;
    bool m_bMouseOver = false;
    bool m_bDrawPressed = false;
    bool m_bDrawFocused = false;
    bool m_bDrawDisabled = false;
    bool m_bDefaultButton = false;
    bool m_bLostFocusToDisable = false;
    BYTE m_nImagePlacement = 0;
    bool m_bHoverFrame = true;
    COLORREF m_colors[COLOR_COUNT];
    HCURSOR m_hPointer = nullptr;  // shared by every button with the same pointer
    HWND m_tipCtrl = nullptr;
    // The tip given before the tooltip exists; it is made when the mouse first comes.
    std::string m_tipText;
    bool m_tipActive = false;
    bool m_bTrackWhenInactive = true;
    IconEntry m_iconPair[2] = {};
    BitmapEntry m_bitmapPair[2] = {};
    BitmapEntry m_setAsideNormal = {};
};
