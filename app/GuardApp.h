// The application object: single instance, settings, optional skin, the
// first-start question, the status pop-up, then the main window.
#pragma once
#include <windows.h>

#include "app/StatusPopup.h"
#include "ui/App.h"
#include "ui/Guards.h"

class GuardApp : public ui::App {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    HMODULE SkinLibrary() const { return m_hSkinLib; }
    StatusPopup& Popup() { return m_statusPopup; }
    UpdateNoticeDialog& UpdateNotice() { return m_updateNotice; }

    // Brings the first instance's main window forward.
    void ActivateRunningInstance();
    // Positions and shows the status pop-up above the taskbar.
    void PlaceStatusPopup();

private:
    ui::ScopedHandle m_instanceMarker;
    HMODULE m_hSkinLib = nullptr;
    StatusPopup m_statusPopup;
    UpdateNoticeDialog m_updateNotice;
};

// The settings key under HKEY_LOCAL_MACHINE.
extern const char* const SETTINGS_KEY_PATH;

// Writes today's day of the month to "lastcheck" unless the stored day is
// within 7 of it; true when it wrote.
bool RecordLastCheck(HKEY key);
// The same with the day of the month given.
bool RecordLastCheckOn(HKEY key, int today);
