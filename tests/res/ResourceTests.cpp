// The resources the program refers to by number: every dialog template
// with its controls, the string table, the tray menu, pictures, cursor,
// sound, animation clips, version and manifest.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "res/version.h"
#include "tests/common/TestSupport.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The bytes of a resource, or an empty string when it is missing.
std::string ResourceBytes(LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(Module(), name, type);
    if (!found) return "";
    HGLOBAL loaded = LoadResource(Module(), found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(Module(), found)) : "";
}

template <typename T>
T ReadAt(const std::string& bytes, size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size()) memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// ============================================================== dialogs

enum Kind { BUTTON, STATIC, EDIT, LIST, ANIMATION };

struct Control {
    int id;
    Kind kind;
    DWORD requiredStyle;  // style bits the control must carry
};

struct Template {
    const char* name;
    int id;
    int width, height;        // dialog units
    bool child;               // a page of the main window
    const char* font;
    const char* caption;      // checked when not null
    std::vector<Control> controls;
};

const DWORD LIST_STYLE = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
const DWORD READONLY_MULTILINE = ES_READONLY | ES_MULTILINE;

const std::vector<Template>& Templates() {
    static const std::vector<Template> templates = {
        {"Main", IDD_MAIN, 500, 341, false, "MS Sans Serif", "Vantorix",
         {{IDC_BTN_INFO, BUTTON, 0}, {IDC_BTN_SHIELD, BUTTON, 0}, {IDC_BTN_SCAN, BUTTON, 0},
          {IDC_BTN_MEMORY, BUTTON, 0}, {IDC_BTN_QUARANTINE, BUTTON, 0}, {IDC_BTN_TOOLS, BUTTON, 0},
          {IDC_BTN_REPAIR, BUTTON, 0}, {IDC_BTN_STARTUP, BUTTON, 0}}},
        {"StatusPopup", IDD_STATUS_POPUP, 198, 46, false, nullptr, "Vantorix",
         {{IDC_POPUP_TEXT, STATIC, 0}, {IDC_POPUP_STATE, BUTTON, 0}}},
        {"UpdateNotice", IDD_UPDATE_NOTICE, 0, 0, false, nullptr, "Vantorix Web Check",
         {{IDC_UPDATE_TEXT, EDIT, READONLY_MULTILINE}, {IDC_UPDATE_VERSION, STATIC, 0},
          {IDC_UPDATE_NOW, BUTTON, BS_DEFPUSHBUTTON}, {IDCANCEL, BUTTON, 0}}},
        {"InfoPage", IDD_PAGE_INFO, 377, 209, true, "Arial", nullptr,
         {{IDC_INFO_FEATURES, EDIT, READONLY_MULTILINE | WS_VSCROLL | WS_BORDER},
          {IDC_INFO_STATE, BUTTON, 0}, {IDC_INFO_HELP, BUTTON, 0}, {IDC_INFO_MAIL_LINK, STATIC, 0},
          {IDC_INFO_WEB_LINK, STATIC, 0}, {IDC_INFO_LOGO, BUTTON, 0}}},
        {"MemoryPage", IDD_PAGE_MEMORY, 377, 209, true, "Arial", nullptr,
         {{IDC_MEMORY_LIST, LIST, LIST_STYLE}, {IDC_MEMORY_TERMINATE, BUTTON, 0},
          {IDC_MEMORY_VERDICT, STATIC, SS_CENTER}}},
        {"QuarantinePage", IDD_PAGE_QUARANTINE, 377, 209, true, "Arial", nullptr,
         {{IDC_QUARANTINE_LIST, LIST, LIST_STYLE}, {IDC_QUARANTINE_REFRESH, BUTTON, 0},
          {IDC_QUARANTINE_RESTORE, BUTTON, 0}, {IDC_QUARANTINE_EMPTY, BUTTON, 0}}},
        {"ScanPage", IDD_PAGE_SCAN, 377, 209, true, "Arial", nullptr,
         {{IDC_SCAN_STATUS, STATIC, 0}, {IDC_SCAN_LIST, LIST, LIST_STYLE},
          {IDC_SCAN_ANIMATION, ANIMATION, ACS_TRANSPARENT}, {IDC_SCAN_START, BUTTON, 0},
          {IDC_SCAN_STOP, BUTTON, 0}, {IDC_SCAN_DELETE, BUTTON, 0}, {IDC_SCAN_DELETE_ALL, BUTTON, 0}}},
        {"ShieldPage", IDD_PAGE_SHIELD, 377, 209, true, "Arial", nullptr,
         {{IDC_SHIELD_LIST, LIST, LIST_STYLE}, {IDC_SHIELD_STATUS, STATIC, 0},
          {IDC_SHIELD_DELETE, BUTTON, 0}, {IDC_SHIELD_DELETE_ALL, BUTTON, 0},
          {IDC_SHIELD_EMBLEM, BUTTON, 0}}},
        {"RepairPage", IDD_PAGE_REPAIR, 377, 209, true, "Arial", nullptr,
         {{IDC_REPAIR_ANIMATION, ANIMATION, ACS_TRANSPARENT},
          {IDC_REPAIR_LIST, LIST, LIST_STYLE | WS_BORDER}, {IDC_REPAIR_REGISTRY, BUTTON, 0},
          {IDC_REPAIR_CLEANUP, BUTTON, 0}, {IDC_REPAIR_SHUTDOWN, BUTTON, 0},
          {IDC_REPAIR_CANCEL_SHUTDOWN, BUTTON, 0}, {IDC_REPAIR_SHUTDOWN_STATE, STATIC, 0},
          {IDC_REPAIR_COUNTDOWN, STATIC, 0}, {IDC_REPAIR_DELAY_MINUTES, EDIT, ES_NUMBER}}},
        {"ToolsPage", IDD_PAGE_TOOLS, 377, 209, true, "Arial", nullptr,
         {{IDC_TOOLS_IMMUNIZE, BUTTON, 0}, {IDC_TOOLS_CANCEL_IMMUNITY, BUTTON, 0},
          {IDC_TOOLS_SAFE_REMOVE, BUTTON, 0},
          {IDC_TOOLS_IMMUNITY_TEXT, EDIT, READONLY_MULTILINE | WS_BORDER | WS_VSCROLL},
          {IDC_TOOLS_REMOVAL_TEXT, EDIT, READONLY_MULTILINE}}},
        {"StartupPage", IDD_PAGE_STARTUP, 377, 209, true, "Arial", nullptr,
         {{IDC_STARTUP_REFRESH, BUTTON, 0}, {IDC_STARTUP_DELETE, BUTTON, 0},
          {IDC_STARTUP_LIST, LIST, LIST_STYLE}}},
    };
    return templates;
}

void PrintTo(const Template& t, std::ostream* out) { *out << t.name; }

const char* ClassName(Kind kind) {
    switch (kind) {
        case BUTTON: return "Button";
        case STATIC: return "Static";
        case EDIT: return "Edit";
        case LIST: return "SysListView32";
        case ANIMATION: return "SysAnimate32";
    }
    return "";
}

// The places the templates fix in dialog units.
struct Placement {
    int dialog;
    int id;
    int x, y, width, height;
};

const Placement kFixedPlacements[] = {
    {IDD_MAIN, IDC_BTN_INFO, 11, 15, 37, 43},        {IDD_MAIN, IDC_BTN_SHIELD, 53, 14, 52, 43},
    {IDD_MAIN, IDC_BTN_SCAN, 112, 14, 69, 43},       {IDD_MAIN, IDC_BTN_MEMORY, 190, 15, 52, 43},
    {IDD_MAIN, IDC_BTN_QUARANTINE, 248, 14, 52, 43}, {IDD_MAIN, IDC_BTN_TOOLS, 310, 14, 52, 43},
    {IDD_MAIN, IDC_BTN_REPAIR, 370, 14, 52, 43},     {IDD_MAIN, IDC_BTN_STARTUP, 431, 15, 52, 43},
    {IDD_PAGE_INFO, IDC_INFO_FEATURES, 216, 111, 110, 93},
    {IDD_PAGE_INFO, IDC_INFO_MAIL_LINK, 16, 186, 88, 8},
    {IDD_PAGE_INFO, IDC_INFO_WEB_LINK, 16, 168, 102, 8},
    {IDD_PAGE_INFO, IDC_INFO_LOGO, 22, 9, 135, 69},
    {IDD_PAGE_REPAIR, IDC_REPAIR_LIST, 4, 18, 324, 70},
    {IDD_PAGE_REPAIR, IDC_REPAIR_ANIMATION, 42, 100, 120, 20},
    {IDD_PAGE_REPAIR, IDC_REPAIR_REGISTRY, 231, 95, 48, 39},
    {IDD_PAGE_REPAIR, IDC_REPAIR_CLEANUP, 283, 94, 48, 39},
};

// The main window shows a page in this many pixels.
const int kPageAreaWidth = 750, kPageAreaHeight = 450;

// Each template is created for real, as the program creates it: pages as
// children of a top-level window, the rest as top-level dialogs.
class DialogTemplate : public testing::TestWithParam<Template> {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_ANIMATE_CLASS};
        InitCommonControlsEx(&icc);
        host_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                nullptr, Module(), nullptr);
        ASSERT_NE(host_, nullptr);
        const Template& t = GetParam();
        dialog_ = CreateDialogParamA(Module(), MAKEINTRESOURCEA(t.id), t.child ? host_ : nullptr,
                                     PlainDialogProc, 0);
        ASSERT_NE(dialog_, nullptr) << "template " << t.id << " cannot be created";
    }
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
        if (host_) DestroyWindow(host_);
    }
    // A rectangle in dialog units, in the dialog's client pixels.
    RECT Units(int x, int y, int w, int h) {
        RECT r = {x, y, x + w, y + h};
        MapDialogRect(dialog_, &r);
        return r;
    }
    RECT ClientRectOf(int id) {
        RECT r = {};
        HWND control = GetDlgItem(dialog_, id);
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    HWND host_ = nullptr;
    HWND dialog_ = nullptr;
};

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

TEST_P(DialogTemplate, HasItsFrameFontAndCaption) {
    const Template& t = GetParam();
    LONG style = GetWindowLongA(dialog_, GWL_STYLE);
    if (t.child) {
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE(style & WS_VISIBLE) << "pages start hidden";
        EXPECT_FALSE(style & WS_CAPTION);
    } else {
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_EQ(style & WS_CAPTION, static_cast<LONG>(WS_CAPTION));
        EXPECT_TRUE(style & WS_SYSMENU);
    }
    if (t.caption) {
        EXPECT_EQ(TextOf(dialog_), t.caption);
    }
    if (t.width) {
        RECT client;
        GetClientRect(dialog_, &client);
        RECT expected = Units(0, 0, t.width, t.height);
        EXPECT_EQ(client.right, expected.right);
        EXPECT_EQ(client.bottom, expected.bottom);
    }
    if (t.font) {
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, t.font);
    }
}

TEST_P(DialogTemplate, HoldsEveryControlWithItsKindAndStyle) {
    for (const Control& c : GetParam().controls) {
        HWND control = GetDlgItem(dialog_, c.id);
        ASSERT_NE(control, nullptr) << "control " << c.id << " missing";
        EXPECT_STRCASEEQ(ClassOf(control).c_str(), ClassName(c.kind)) << "control " << c.id;
        DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        // The dialog manager may draw a bordered control with a sunken edge.
        if (GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) style |= WS_BORDER;
        EXPECT_EQ(style & c.requiredStyle, c.requiredStyle) << "control " << c.id;
        if (c.kind == BUTTON) {
            DWORD type = style & BS_TYPEMASK;
            EXPECT_TRUE(type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
                << "control " << c.id << " must be a push button (image buttons subclass it)";
        }
    }
}

// Every control lies inside its dialog and, on a page, inside the area the
// main window shows; no two controls other than group boxes cover each other.
TEST_P(DialogTemplate, LaysOutItsControlsInsideWithoutOverlap) {
    RECT client;
    GetClientRect(dialog_, &client);
    struct Item {
        int id;
        RECT rect;
    };
    std::vector<Item> items;
    for (HWND c = GetWindow(dialog_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
        int id = GetDlgCtrlID(c);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << "control " << id << " at " << Describe(r) << " leaves the dialog " << Describe(client);
        // Every control of a page fits the area the main window gives the page.
        if (GetParam().child) {
            EXPECT_TRUE(r.right <= kPageAreaWidth && r.bottom <= kPageAreaHeight)
                << "control " << id << " at " << Describe(r) << " is cut off by the page area";
        }
        bool groupBox = ClassOf(c) == "Button" &&
                        (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        if (!groupBox) items.push_back({id, r});
    }
    for (size_t i = 0; i < items.size(); ++i) {
        for (size_t j = i + 1; j < items.size(); ++j) {
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &items[i].rect, &items[j].rect))
                << "controls " << items[i].id << " " << Describe(items[i].rect) << " and "
                << items[j].id << " " << Describe(items[j].rect) << " overlap";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, DialogTemplate, testing::ValuesIn(Templates()),
                         [](const testing::TestParamInfo<Template>& info) {
                             return std::string(info.param.name);
                         });

TEST(DialogPlacement, ControlsSitWhereTheTemplatesPutThem) {
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                nullptr, Module(), nullptr);
    HWND dialog = nullptr;
    int created = 0;
    for (const Placement& p : kFixedPlacements) {
        if (p.dialog != created) {  // the table is grouped by dialog
            if (dialog) DestroyWindow(dialog);
            created = p.dialog;
            dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(p.dialog),
                                        p.dialog == IDD_MAIN ? nullptr : host, PlainDialogProc, 0);
        }
        ASSERT_NE(dialog, nullptr) << "dialog " << p.dialog;
        // The dialog manager maps a control's position and size separately.
        RECT units = {p.x, p.y, p.width, p.height};
        MapDialogRect(dialog, &units);
        RECT expected = {units.left, units.top, units.left + units.right, units.top + units.bottom};
        RECT actual = {};
        GetWindowRect(GetDlgItem(dialog, p.id), &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_TRUE(EqualRect(&expected, &actual))
            << "dialog " << p.dialog << " control " << p.id << " is at " << Describe(actual)
            << ", expected " << Describe(expected);
    }
    if (dialog) DestroyWindow(dialog);
    DestroyWindow(host);
}

// Every template drawn on the screen, saved under screenshots/ in the build
// tree for a person to look at. Pages share one shown frame: each top-level
// window that is shown and destroyed costs Wine about two seconds.
TEST(DialogPictures, EveryTemplateCanBeShownAndPhotographed) {
    HWND frame = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_BORDER, 0, 0, 100, 100, nullptr, nullptr,
                                 Module(), nullptr);
    ASSERT_NE(frame, nullptr);
    ShowWindow(frame, SW_SHOWNOACTIVATE);
    for (const Template& t : Templates()) {
        HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(t.id), t.child ? frame : nullptr,
                                         PlainDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << t.name;
        HWND shown = dialog;
        if (t.child) {
            RECT page;
            GetWindowRect(dialog, &page);
            SetWindowPos(frame, HWND_TOP, 0, 0, page.right - page.left + 2, page.bottom - page.top + 2,
                         SWP_NOACTIVATE);
            shown = frame;
        } else {
            SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        }
        ShowWindow(dialog, SW_SHOWNOACTIVATE);
        // The pages with an animation show their clip playing.
        const int clips[][2] = {{IDC_SCAN_ANIMATION, IDR_AVI_SCAN}, {IDC_REPAIR_ANIMATION, IDR_AVI_WORKING}};
        for (const auto& clip : clips) {
            HWND animation = GetDlgItem(dialog, clip[0]);
            if (!animation || lstrcmpiA(ClassOf(animation).c_str(), ANIMATE_CLASSA) != 0) continue;
            SendMessageA(animation, ACM_OPENA, reinterpret_cast<WPARAM>(Module()),
                         reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(clip[1])));
            SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
        }
        UpdateWindow(shown);
        vxtest::PumpFor(300);
        EXPECT_TRUE(IsWindowVisible(dialog)) << t.name;
        EXPECT_FALSE(vxtest::SaveScreenshot(shown, std::string("dialog_") + t.name).empty()) << t.name;
        DestroyWindow(dialog);
    }
    DestroyWindow(frame);
}

// ============================================================== strings

std::string LoadText(UINT id) {
    char buffer[4096];
    int length = LoadStringA(Module(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

TEST(StringTable, EveryTextTheProgramShowsIsPresent) {
    const UINT ids[] = {
        IDS_VERSION, IDS_ERROR, IDS_SHIELD_ACTIVE, IDS_SHIELD_INACTIVE, IDS_STATE_ACTIVE,
        IDS_STATE_INACTIVE, IDS_TIP_INFO, IDS_TIP_SHIELD, IDS_TIP_SCAN, IDS_TIP_TOOLS,
        IDS_TIP_MEMORY, IDS_TIP_STARTUP, IDS_TIP_REPAIR, IDS_TIP_QUARANTINE, IDS_CONFIRM_QUIT,
        IDS_UNINSTALL_TITLE, IDS_UNINSTALL_QUIT, IDS_DOCUMENT_NOT_FOUND, IDS_TIP_HELP,
        IDS_KEY_FEATURES, IDS_COL_THREAT, IDS_COL_STATE, IDS_RISKY, IDS_NO_THREAT,
        IDS_THREATS_FOUND, IDS_CONFIRM_DELETE_ALL, IDS_DELETE_PREFIX, IDS_DELETED,
        IDS_DELETE_FAILED, IDS_SELECT_FILE, IDS_REPLUG_USB, IDS_COL_FILE, IDS_COL_SCAN_STATE,
        IDS_SUSPICIOUS, IDS_USB_NOT_FOUND, IDS_TIP_IMMUNIZE, IDS_TIP_SAFE_REMOVE,
        IDS_IMMUNITY_EXPLAINED, IDS_REMOVAL_EXPLAINED, IDS_CONFIRM_PROGRAMS_EXITED,
        IDS_PLEASE_WAIT, IDS_CONFIRM_LOG_OFF, IDS_ROOT_VIRUS_WARNING, IDS_IMMUNITY_README,
        IDS_IMMUNITY_ACQUIRED, IDS_IMMUNITY_CANCELLED, IDS_AT_RISK, IDS_COL_PROCESS,
        IDS_COL_SECURITY, IDS_COL_PROCESS_PATH, IDS_COL_APPLICATION, IDS_COL_COMMAND,
        IDS_COL_LOCATION, IDS_SELECT_ITEM, IDS_NO_ITEM, IDS_TIP_REPAIR_REGISTRY, IDS_TIP_CLEANUP,
        IDS_TIP_SHUTDOWN, IDS_TIP_CANCEL_SHUTDOWN, IDS_COL_CONTENT, IDS_COL_REPAIR_STATE,
        IDS_CONFIRM_CLEANUP, IDS_IE_CACHE_DELETED, IDS_CONFIRM_REPAIR,
        IDS_RESTORE_FOLDER_OPTIONS, IDS_RESTORE_MY_DOCUMENTS, IDS_RESTORE_RECENT_DOCUMENTS,
        IDS_RESTORE_HISTORY, IDS_RESTORE_FAVORITES, IDS_RESTORE_HELP, IDS_RESTORE_SEARCH,
        IDS_RESTORE_RUN, IDS_RESTORE_LOG_OFF, IDS_RESTORE_TURN_OFF, IDS_RESTORE_CONTROL_PANEL,
        IDS_RESTORE_TASKBAR, IDS_RESTORE_WINDOWS_UPDATE, IDS_RESTORE_ACTIVE_DESKTOP,
        IDS_RESTORE_FILE_MENU, IDS_RESTORE_NETWORK_DRIVE, IDS_RESTORE_WEB_VIEW,
        IDS_RESTORE_DESKTOP_ICON, IDS_RESTORE_NETWORK_NEIGHBOR, IDS_RESTORE_INTERNET_ICON,
        IDS_RESTORE_RIGHT_CLICK, IDS_RESTORE_PRINTER, IDS_RESTORE_DRIVE, IDS_RESTORE_AUTORUN,
        IDS_RESTORE_RUN_PROGRAM, IDS_RESTORE_REGEDIT, IDS_RESTORE_SHOW_HIDDEN,
        IDS_RESTORE_EXTENSIONS, IDS_RESTORE_INTERNET_EXPLORER, IDS_RESTORE_NOTEPAD, IDS_INACTIVE,
        IDS_ACTIVE, IDS_COL_ORIGIN, IDS_COL_QUARANTINE, IDS_TIP_REFRESH, IDS_TIP_RESTORE,
        IDS_TIP_EMPTY, IDS_RESTORE_PREFIX, IDS_RESTORE_FAILED, IDS_RESTORE_SUCCEEDED,
        IDS_RESTORED_TO_DESKTOP, IDS_QUARANTINED_FILE_ABSENT, IDS_NOTHING_FOUND, IDS_CONFIRM_EMPTY,
        IDS_EMPTY_COMPLETED, IDS_ASK_DISABLE_AUTORUN, IDS_TIP_CANCEL_IMMUNITY, IDS_UPDATE_QUIT,
        IDS_REGISTRY_ACCESS_FAILED, IDS_UPDATER_NOT_FOUND, IDS_LINK_OPEN_FAILED,
        IDS_LINK_ERROR_OUT_OF_MEMORY, IDS_LINK_ERROR_FILE_NOT_FOUND, IDS_LINK_ERROR_PATH_NOT_FOUND,
        IDS_LINK_ERROR_ACCESS_DENIED, IDS_LINK_ERROR_NOT_ENOUGH_MEMORY, IDS_LINK_ERROR_BAD_FORMAT,
        IDS_LINK_ERROR_SHARE, IDS_LINK_ERROR_ASSOC_INCOMPLETE, IDS_LINK_ERROR_DDE_TIMEOUT,
        IDS_LINK_ERROR_DDE_FAIL, IDS_LINK_ERROR_DDE_BUSY, IDS_LINK_ERROR_NO_ASSOC,
        IDS_LINK_ERROR_DLL_NOT_FOUND, IDS_LINK_ERROR_UNKNOWN,
    };
    for (UINT id : ids) EXPECT_FALSE(LoadText(id).empty()) << "string " << id << " is missing";
}

// The texts whose bytes are easy to get wrong in a resource script: line
// breaks, doubled and trailing blanks, quotes and format fields.
TEST(StringTable, TextsKeepTheirExactBytes) {
    struct {
        UINT id;
        const char* text;
    } const cases[] = {
        {IDS_VERSION, "5.0.0.90"},
        {IDS_SHIELD_ACTIVE, "Resident Shield is active"},
        {IDS_UNINSTALL_TITLE, "Vantorix Uninstall"},
        {IDS_THREATS_FOUND, "%d threats found"},
        {IDS_DELETE_PREFIX, "Delete: "},
        {IDS_RESTORE_PREFIX, "Restore "},
        {IDS_IMMUNITY_README, "The directory created by Vantorix should be deleted by itself"},
        {IDS_ROOT_VIRUS_WARNING,
         "There may be virus on the root directory: %s \r\nPlease use Antivirus software to scan your "
         "computer!"},
        {IDS_UPDATE_QUIT,
         "The program will quit to update.\r\nPlease don't run the program until the update program "
         "quit."},
        {IDS_KEY_FEATURES,
         "Key features:\r\n1. Vantorix provides 100% protection against any threats via USB drive, "
         "however, the majority of other products are unable even to guarantee 90% protection.\r\n2.  "
         "Vantorix is the best antivirus software to permanently protect offline computer without the "
         "need for signature updates, but other antivirus software should update signature database "
         "regularly, and they cannot effectively protect offline computer.\r\n3. This light and easy to "
         "use solution is 100% compatible with all software and doesn't slow down your computer at "
         "all.\r\n4. You pay Vantorix once and get it all, however, other antivirus products should be "
         "paid for updates every year."},
        {IDS_REMOVAL_EXPLAINED,
         "Problem:\r\n  When you want to remove your USB disk, sometimes system gives you a message:\r\n"
         "  The device 'Generic volume' cannot be stopped right now. Try stopping the device again "
         "later.\r\nSolution:\r\n1. Exit programs using USB disk (word, excel, and so on)\r\n2. Press the "
         "button 'Safely Remove'."},
        {IDS_REGISTRY_ACCESS_FAILED,
         "Vantorix failed in accessing the registry.\r\nPlease check if the current user has right to "
         "access the registry."},
        {IDS_LINK_OPEN_FAILED, "Unable to open hyperlink:\n\n"},
        {IDS_LINK_ERROR_SHARE, "A sharing violation occurred. "},
        {IDS_LINK_ERROR_DDE_BUSY,
         "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
         "processed."},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadText(c.id), c.text) << "string " << c.id;
}

// ============================================================== tray menu

TEST(TrayMenu, OffersItsFiveCommandsBetweenSeparators) {
    HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    const UINT separator = 0;
    const UINT expected[] = {ID_TRAY_SHOW, separator, ID_TRAY_SAFE_REMOVE, separator, ID_TRAY_IMMUNIZE,
                             separator, ID_TRAY_UPDATE, separator, ID_TRAY_EXIT};
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(sizeof expected / sizeof expected[0]));
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        char text[128] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &item));
        if (expected[i] == separator) {
            EXPECT_TRUE(item.fType & MFT_SEPARATOR) << "item " << i;
        } else {
            EXPECT_EQ(item.wID, expected[i]) << "item " << i;
            EXPECT_GT(strlen(text), 0u) << "item " << i;
        }
    }
    DestroyMenu(menu);
}

// ============================================================== pictures

struct BitmapSize {
    int id;
    int width, height;
};

// Loaded as a DIB section so that its own pixels are read back.
HBITMAP LoadDib(int id) {
    return static_cast<HBITMAP>(
        LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

TEST(Bitmaps, AreTrueColourPicturesOnTransparentWhite) {
    const int ids[] = {
        IDB_LOGO, IDB_PAGE_REPAIR_HOVER, IDB_PAGE_SCAN_HOVER, IDB_PAGE_SHIELD_HOVER, IDB_PAGE_TOOLS_HOVER,
        IDB_PAGE_STARTUP_HOVER, IDB_PAGE_INFO_HOVER, IDB_PAGE_MEMORY_HOVER, IDB_PAGE_QUARANTINE_HOVER,
        IDB_SHUTDOWN, IDB_CANCEL_SHUTDOWN, IDB_SHIELD_ACTIVE, IDB_DELETE, IDB_STOP, IDB_SCAN,
        IDB_RESTORE, IDB_REFRESH, IDB_SAFE_REMOVE, IDB_IMMUNIZE, IDB_CANCEL_IMMUNITY,
        IDB_REPAIR_REGISTRY, IDB_CLEANUP, IDB_SHIELD_EMBLEM, IDB_PAGE_INFO, IDB_PAGE_SHIELD,
        IDB_PAGE_SCAN, IDB_PAGE_MEMORY, IDB_PAGE_QUARANTINE, IDB_PAGE_TOOLS, IDB_PAGE_REPAIR,
        IDB_PAGE_STARTUP,
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (int id : ids) {
        HBITMAP bitmap = LoadDib(id);
        ASSERT_NE(bitmap, nullptr) << "bitmap " << id;
        DIBSECTION dib = {};
        ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib)) << "bitmap " << id;
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 24) << "bitmap " << id;
        HGDIOBJ old = SelectObject(dc, bitmap);
        // The background is the transparent colour; the picture must not be.
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255)) << "bitmap " << id;
        int drawn = 0, total = dib.dsBm.bmWidth * dib.dsBm.bmHeight;
        for (int y = 0; y < dib.dsBm.bmHeight; ++y)
            for (int x = 0; x < dib.dsBm.bmWidth; ++x) drawn += GetPixel(dc, x, y) != RGB(255, 255, 255);
        EXPECT_GT(drawn * 10, total) << "bitmap " << id << " is almost empty";
        SelectObject(dc, old);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
}

TEST(Bitmaps, PageButtonsHaveHoverAndNormalImagesOfOneSize) {
    const int pairs[][2] = {
        {IDB_PAGE_INFO_HOVER, IDB_PAGE_INFO},       {IDB_PAGE_SHIELD_HOVER, IDB_PAGE_SHIELD},
        {IDB_PAGE_SCAN_HOVER, IDB_PAGE_SCAN},       {IDB_PAGE_TOOLS_HOVER, IDB_PAGE_TOOLS},
        {IDB_PAGE_MEMORY_HOVER, IDB_PAGE_MEMORY},   {IDB_PAGE_STARTUP_HOVER, IDB_PAGE_STARTUP},
        {IDB_PAGE_REPAIR_HOVER, IDB_PAGE_REPAIR},   {IDB_PAGE_QUARANTINE_HOVER, IDB_PAGE_QUARANTINE},
    };
    for (const auto& pair : pairs) {
        BITMAP hover = {}, normal = {};
        HBITMAP a = LoadDib(pair[0]), b = LoadDib(pair[1]);
        GetObjectA(a, sizeof hover, &hover);
        GetObjectA(b, sizeof normal, &normal);
        EXPECT_EQ(hover.bmWidth, normal.bmWidth) << "bitmaps " << pair[0] << " and " << pair[1];
        EXPECT_EQ(hover.bmHeight, normal.bmHeight) << "bitmaps " << pair[0] << " and " << pair[1];
        EXPECT_GE(hover.bmWidth, 32);
        EXPECT_LE(hover.bmHeight, 48) << "a page button is 43 units high with its caption";
        DeleteObject(a);
        DeleteObject(b);
    }
}

// Icons carry 16, 32 and 48 pixel images with alpha, so the tray, the
// caption and the pages each get a drawn size rather than a scaled one.
TEST(Icons, CarrySmallLargeAndExtraLargeImages) {
    const int ids[] = {IDI_MAIN, IDI_AUTORUN_FILE, IDI_HIDDEN_FILE, IDI_TRAY, IDI_USB_DRIVE, IDI_HELP};
    for (int id : ids) {
        std::string group = ResourceBytes(MAKEINTRESOURCEA(id), RT_GROUP_ICON);
        ASSERT_GE(group.size(), 6u) << "icon " << id;
        std::vector<int> sizes;
        int count = ReadAt<WORD>(group, 4);
        for (int i = 0; i < count; ++i) {
            size_t entry = 6 + 14 * static_cast<size_t>(i);
            sizes.push_back(ReadAt<BYTE>(group, entry));
            EXPECT_EQ(ReadAt<WORD>(group, entry + 6), 32) << "icon " << id << " bits per pixel";
        }
        EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48})) << "icon " << id;
        HICON icon = static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
        EXPECT_NE(icon, nullptr) << "icon " << id;
        if (icon) DestroyIcon(icon);
    }
}

TEST(Cursor, IsAHandPointingWithItsFingertip) {
    HCURSOR hand = LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_HAND));
    ASSERT_NE(hand, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(hand, &info));
    EXPECT_FALSE(info.fIcon);
    // The hot spot is the tip of the raised finger, at the top of the picture.
    EXPECT_LT(info.yHotspot, 8u);
    EXPECT_GT(info.xHotspot, 4u);
    EXPECT_LT(info.xHotspot, 28u);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
}

// ============================================================== sound and clips

TEST(ArrivalSound, IsAShortMonoPcmWave) {
    std::string wave = ResourceBytes(MAKEINTRESOURCEA(IDR_ARRIVAL_SOUND), "WAVE");
    ASSERT_GE(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ReadAt<WORD>(wave, 20), WAVE_FORMAT_PCM);
    EXPECT_EQ(ReadAt<WORD>(wave, 22), 1) << "channels";
    DWORD rate = ReadAt<DWORD>(wave, 24);
    EXPECT_EQ(rate, 22050u);
    WORD bits = ReadAt<WORD>(wave, 34);
    EXPECT_TRUE(bits == 8 || bits == 16);
    EXPECT_EQ(wave.substr(36, 4), "data");
    double seconds = ReadAt<DWORD>(wave, 40) / (rate * bits / 8.0);
    EXPECT_GT(seconds, 0.2);
    EXPECT_LT(seconds, 1.0);
}

class AnimationClip : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_ANIMATE_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        host_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr,
                                nullptr, Module(), nullptr);
        animation_ = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT, 0, 0,
                                     300, 60, host_, nullptr, Module(), nullptr);
        ASSERT_NE(animation_, nullptr);
    }
    void TearDown() override {
        if (animation_) SendMessageA(animation_, ACM_OPENA, 0, 0);
        if (host_) DestroyWindow(host_);
    }
    HWND host_ = nullptr;
    HWND animation_ = nullptr;
};

TEST_P(AnimationClip, OpensAndLoopsInTheAnimationControl) {
    int id = GetParam();
    EXPECT_FALSE(SendMessageA(animation_, ACM_OPENA, reinterpret_cast<WPARAM>(Module()),
                              reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_AVI_SCAN + 1))))
        << "the control must refuse a clip that is not there";
    EXPECT_TRUE(SendMessageA(animation_, ACM_OPENA, reinterpret_cast<WPARAM>(Module()),
                             reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(id))))
        << "AVI " << id;
    EXPECT_TRUE(SendMessageA(animation_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF)))
        << "AVI " << id;
    vxtest::PumpFor(100);
    EXPECT_TRUE(SendMessageA(animation_, ACM_STOP, 0, 0));
}

// The control plays only clips with a single video stream and no sound.
TEST_P(AnimationClip, HasOneUncompressedVideoStreamAndNoSound) {
    std::string avi = ResourceBytes(MAKEINTRESOURCEA(GetParam()), "AVI");
    ASSERT_GT(avi.size(), 200u);
    EXPECT_EQ(avi.substr(0, 4), "RIFF");
    EXPECT_EQ(avi.substr(8, 4), "AVI ");
    size_t avih = avi.find("avih");
    ASSERT_NE(avih, std::string::npos);
    EXPECT_EQ(ReadAt<DWORD>(avi, avih + 8 + 24), 1u) << "streams";
    EXPECT_GE(ReadAt<DWORD>(avi, avih + 8 + 16), 8u) << "frames";
    size_t strh = avi.find("strh");
    ASSERT_NE(strh, std::string::npos);
    EXPECT_EQ(avi.substr(strh + 8, 4), "vids");
    EXPECT_EQ(avi.find("auds"), std::string::npos);
    size_t strf = avi.find("strf");
    ASSERT_NE(strf, std::string::npos);
    DWORD compression = ReadAt<DWORD>(avi, strf + 8 + 16);
    EXPECT_TRUE(compression == BI_RGB || compression == BI_RLE8);
}

INSTANTIATE_TEST_SUITE_P(Resources, AnimationClip, testing::Values(IDR_AVI_SCAN, IDR_AVI_WORKING),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == IDR_AVI_SCAN ? std::string("Scan")
                                                               : std::string("Working");
                         });

// ============================================================== version and manifest

TEST(VersionInfo, StatesVersion5_0_0_90OfVantorix) {
    std::string resource = ResourceBytes(MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    ASSERT_FALSE(resource.empty());
    // VerQueryValueA converts texts into room after the block, as it does for
    // the copy that GetFileVersionInfoA makes; give it that room.
    std::vector<char> block(resource.size() * 3, 0);
    memcpy(block.data(), resource.data(), resource.size());

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00050000u);  // 5.0
    EXPECT_EQ(fixed->dwFileVersionLS, 0x0000005Au);  // 0.90
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00050000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x0000005Au);

    char* product = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, "Vantorix");
    char* version = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                               reinterpret_cast<void**>(&version), &length));
    EXPECT_STREQ(version, "5.0.0.90");
}

TEST(Manifest, AsksForCommonControls6AndTheHighestRightsTheUserHas) {
    std::string manifest = ResourceBytes(MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    // An administrator under UAC gets the full program after one consent; a
    // standard user still starts, without the elevation prompt.
    EXPECT_NE(manifest.find("level=\"highestAvailable\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Brisquandel.Vantorix\""), std::string::npos);
    EXPECT_NE(manifest.find("version=\"" VX_VERSION_TEXT "\" processorArchitecture"), std::string::npos)
        << "the program's own identity carries the version of version.h";
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
}

}  // namespace
