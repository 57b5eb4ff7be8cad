// The application object: one per process, constructed statically, run
// from WinMain.
#pragma once
#include <windows.h>

#include <string>

namespace ui {

class Dialog;

// The standard help command, sent by F1.
const UINT ID_HELP_COMMAND = 57670;

class App {
public:
    App();
    virtual ~App();
    static App* Current();

    // Start-up. TRUE would run a message loop of the application's own; a
    // dialog application returns FALSE once its main dialog has ended.
    virtual BOOL InitInstance() { return FALSE; }
    // End; the result is the process exit code.
    virtual int ExitInstance() { return 0; }
    // The help command: asks the main window for help.
    virtual void OnHelp();

    // The executable's base name without extension.
    const std::string& Name();
    Dialog* MainWindow() const { return m_mainWindow; }
    void SetMainWindow(Dialog* window) { m_mainWindow = window; }

    // What WinMain runs: InitInstance, a message loop when it asked for one,
    // then ExitInstance.
    int Run();

private:
    std::string m_name;
    Dialog* m_mainWindow = nullptr;
};

}  // namespace ui
