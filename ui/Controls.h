// Thin wrappers over the common controls the pages use. Each call is one
// message to the control, so workers may call them too: the message is
// handled on the control's own thread.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <string>

#include "ui/Guards.h"
#include "ui/Window.h"

namespace ui {

// Holds its window without subclassing it: every row costs list messages,
// and a subclassed window makes each message dearer.
class ListView : public Window {
public:
    ListView() : Window(Binding::Hold) {}
    void SetExtendedStyle(DWORD style);
    // `width` is in pixels at 96 DPI.
    int InsertColumn(int column, const std::string& title, int width);
    struct Column {
        UINT titleId;  // string resource
        int width;     // pixels at 96 DPI
    };
    // Appends the columns in order. Each insertion on its own lays the header
    // and the scroll bars out again; here that is done once, at the end.
    void InsertColumns(std::initializer_list<Column> columns);
    // Inserts a row with `text` in column 0 at `row`; returns its index or -1.
    int InsertItem(int row, const std::string& text);
    bool SetItemText(int row, int column, const std::string& text);
    std::string GetItemText(int row, int column) const;
    bool DeleteAllItems();
    int GetItemCount() const;
    // The first selected row, or -1.
    int GetFirstSelected() const;
    bool Select(int row);
    // Batches many changes into one repaint: off before, on after.
    void SetRedraw(bool redraw);
};

// The wrappers below only send messages to their controls: they hold them,
// like the list, and leave their messages alone.
class Animation : public Window {
public:
    Animation() : Window(Binding::Hold) {}
    // Opens an AVI resource of this module.
    bool Open(UINT resourceId);
    bool Play(UINT from = 0, UINT to = static_cast<UINT>(-1), UINT repeat = static_cast<UINT>(-1));
    bool Stop();
    bool Close();
};

class Edit : public Window {
public:
    Edit() : Window(Binding::Hold) {}
    void SetText(const std::string& text);
    std::string GetText() const;
};

class Static : public Window {
public:
    Static() : Window(Binding::Hold) {}
    void SetText(const std::string& text);
    std::string GetText() const;
    void SetFont(HFONT font, bool redraw = true);
};

// A menu loaded from the resources and destroyed with the object.
class Menu {
public:
    bool Load(UINT resourceId);
    HMENU Handle() const { return m_menu; }
    // The pop-up at `position`, owned by this menu.
    HMENU SubMenu(int position) const;
    static bool SetDefaultItem(HMENU menu, UINT item, bool byPosition);
    // Shows `menu` at x, y; the chosen command arrives later as WM_COMMAND.
    static BOOL TrackPopup(HMENU menu, UINT flags, int x, int y, HWND owner);

private:
    ScopedMenu m_menu;
};

std::string GetWindowTextString(HWND window);

}  // namespace ui
