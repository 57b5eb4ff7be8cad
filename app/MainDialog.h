// The program's one main window: eight page buttons across the top and one
// visible page below them. It never closes through its caption button (that
// hides it into the notification area).
#pragma once
#include <windows.h>

#include <atomic>

#include "app/InfoPage.h"
#include "controls/ImageButton.h"
#include "quarantine/QuarantinePage.h"
#include "quarantine/ScanPage.h"
#include "res/resource.h"
#include "tools/MemoryPage.h"
#include "tools/RepairPage.h"
#include "tools/StartupPage.h"
#include "ui/Dialog.h"
#include "usb/DriveInventory.h"
#include "usb/ShieldPage.h"
#include "usb/ToolsPage.h"

enum PageNumber {
    PAGE_INFO = 1,
    PAGE_SHIELD = 2,
    PAGE_SCAN = 3,
    PAGE_TOOLS = 4,
    PAGE_MEMORY = 5,
    PAGE_STARTUP = 6,
    PAGE_REPAIR = 7,
    PAGE_QUARANTINE = 8,
};

class MainDialog : public ui::Dialog {
public:
    MainDialog();
    ~MainDialog() override;

    // Shows page 1-8 and hides the others; any other number hides them all.
    void ShowPage(int page);

    BOOL DestroyWindow() override;
    // F1 anywhere in the window: the help document.
    BOOL WinHelp(DWORD_PTR data, UINT command) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    // True from the moment the window starts to end: nothing brings it back.
    bool IsEnding() const { return m_ending; }

    // For the pages and the tests.
    ui::Dialog* Page(int page);
    ImageButton* PageButton(int page);
    bool IsPageShown(int page) const { return page >= 1 && page <= 8 && m_bPageShown[page - 1]; }

    // Ends the program without the quit question (tray Exit, uninstaller).
    void OnTrayExit();
    void OnTrayShow();
    void OnTraySafeRemove();
    void OnTrayImmunize();
    // Starts the updater; the window stays hidden meanwhile.
    void OnTrayUpdate();
    // A device came or went: with USB drives present, come forward on the
    // shield page and check their roots.
    void OnDeviceArrival();

    ShieldPage& Shield() { return m_pageShield; }

protected:
    BOOL OnInitDialog() override;
    // Enter never ends the program: there is no OK.
    void OnOK() override {}
    void OnCancel() override;
    void OnPaint() override;

private:
    int OnCreate(CREATESTRUCTA* create);
    void ConfigurePageButton(int page);
    void CenterOnScreen();
    void FitPageButtons();
    // With USB drives in `letters`, comes forward on the shield page and checks their roots.
    void ShowUsbDrives(const char* letters, int count);
    static unsigned UninstallWatchThread(MainDialog* dlg);
    static unsigned TrayWatchThread(MainDialog* dlg);
    // Starts the arrival sound. On a worker: the sound library is loaded and
    // opened at the first sound, which the window need not wait for.
    static unsigned ArrivalSoundThread(MainDialog* dlg);
    // The first look at the drives, made while the pages are created: the
    // fixed disks present at start-up and the USB drives already there.
    static unsigned StartupDriveWalkThread(MainDialog* dlg);
    void OnTrayNotify(LPARAM mouseMessage);

    HICON m_hIcon;
    ImageButton m_btnInfo;
    ImageButton m_btnShield;
    ImageButton m_btnScan;
    ImageButton m_btnTools;
    ImageButton m_btnMemory;
    ImageButton m_btnStartup;
    ImageButton m_btnRepair;
    ImageButton m_btnQuarantine;
    InfoPage m_pageInfo;
    MemoryPage m_pageMemory;
    QuarantinePage m_pageQuarantine;
    ScanPage m_pageScan;
    ShieldPage m_pageShield;
    RepairPage m_pageRepair;
    ToolsPage m_pageTools;
    StartupPage m_pageStartup;
    bool m_bPageShown[8];
    // The start-up drive walk's result, complete once m_startupWalkDone is set.
    char m_startupUsbLetters[DRIVE_LIST_CAPACITY] = {};
    int m_startupUsbCount = 0;
    HANDLE m_startupWalkDone = nullptr;
    // Set once the window starts to end: nothing restores it after that.
    std::atomic<bool> m_ending{false};
};

// Set at the start of OnInitDialog, valid until the process ends.
extern HWND g_hMainWnd;
extern MainDialog* g_pMainDialog;
