// The notification-area icon of the main window.
#pragma once
#include <windows.h>
#include <shellapi.h>

// The icon's callback message.
const UINT WM_TRAYNOTIFY = WM_USER + 1;
// The icon's id, the same number as the icon resource shown.
const UINT TRAY_ICON_ID = 160;

// The record the UI thread adds and deletes the icon with. The tray watch
// fills a copy of its own, so the two threads never write the same record.
extern NOTIFYICONDATAA g_trayIcon;

// Fills `data` for `window`: icon 160, tip string 104, WM_TRAYNOTIFY. The
// icon handle it loads is the caller's to destroy.
void FillTrayIconData(NOTIFYICONDATAA& data, HWND window);

// Adds the icon for `window` (UI thread).
void AddTrayIcon(HWND window);
// Deletes the icon that AddTrayIcon added (UI thread).
void DeleteTrayIcon();

// Adds the icon again from a copy of the record; for the tray watch, after
// the taskbar has come back.
void ReaddTrayIcon(HWND window);
