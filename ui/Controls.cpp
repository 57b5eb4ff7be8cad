#include "ui/Controls.h"

#include "ui/Dpi.h"
#include "ui/Strings.h"

#include <vector>

namespace ui {

std::string GetWindowTextString(HWND window) {
    int length = GetWindowTextLengthA(window);
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(length) + 1);
    int got = GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void ListView::SetExtendedStyle(DWORD style) {
    SendMessageA(Hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
}

int ListView::InsertColumn(int column, const std::string& title, int width) {
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<char*>(title.c_str());
    col.cx = ScaleForDpi(width);
    col.iSubItem = column;
    return static_cast<int>(SendMessageA(Hwnd(), LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
}

int ListView::InsertItem(int row, const std::string& text) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessageA(Hwnd(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::InsertColumns(std::initializer_list<Column> columns) {
    SetRedraw(false);
    int column = 0;
    for (const Column& c : columns) InsertColumn(column++, LoadString(c.titleId), c.width);
    SetRedraw(true);
}

bool ListView::SetItemText(int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    return SendMessageA(Hwnd(), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string ListView::GetItemText(int row, int column) const {
    // Grows the buffer until the text fits: paths may be longer than MAX_PATH.
    for (int size = 512;; size *= 2) {
        std::vector<char> text(static_cast<size_t>(size));
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = size;
        int length = static_cast<int>(
            SendMessageA(Hwnd(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (length < size - 1 || size >= 65536) return std::string(text.data(), static_cast<size_t>(length));
    }
}

bool ListView::DeleteAllItems() {
    return SendMessageA(Hwnd(), LVM_DELETEALLITEMS, 0, 0) != 0;
}

int ListView::GetItemCount() const {
    return static_cast<int>(SendMessageA(Hwnd(), LVM_GETITEMCOUNT, 0, 0));
}

int ListView::GetFirstSelected() const {
    return static_cast<int>(SendMessageA(Hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool ListView::Select(int row) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return SendMessageA(Hwnd(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

void ListView::SetRedraw(bool redraw) {
    SendMessageA(Hwnd(), WM_SETREDRAW, redraw, 0);
    if (redraw) InvalidateShown(Hwnd());
}

bool Animation::Open(UINT resourceId) {
    return SendMessageA(Hwnd(), ACM_OPENA, reinterpret_cast<WPARAM>(GetModuleHandleA(nullptr)),
                        reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(resourceId))) != 0;
}

bool Animation::Play(UINT from, UINT to, UINT repeat) {
    return SendMessageA(Hwnd(), ACM_PLAY, repeat, MAKELONG(from, to)) != 0;
}

bool Animation::Stop() {
    return SendMessageA(Hwnd(), ACM_STOP, 0, 0) != 0;
}

bool Animation::Close() {
    return SendMessageA(Hwnd(), ACM_OPENA, 0, 0) != 0;
}

void Edit::SetText(const std::string& text) {
    SetWindowTextA(Hwnd(), text.c_str());
}

std::string Edit::GetText() const {
    return GetWindowTextString(Hwnd());
}

void Static::SetText(const std::string& text) {
    SetWindowTextA(Hwnd(), text.c_str());
}

std::string Static::GetText() const {
    return GetWindowTextString(Hwnd());
}

void Static::SetFont(HFONT font, bool redraw) {
    SendMessageA(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

bool Menu::Load(UINT resourceId) {
    m_menu.Reset(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId)));
    return m_menu.Valid();
}

HMENU Menu::SubMenu(int position) const {
    return m_menu ? GetSubMenu(m_menu, position) : nullptr;
}

bool Menu::SetDefaultItem(HMENU menu, UINT item, bool byPosition) {
    return SetMenuDefaultItem(menu, item, byPosition) != FALSE;
}

BOOL Menu::TrackPopup(HMENU menu, UINT flags, int x, int y, HWND owner) {
    return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

}  // namespace ui
