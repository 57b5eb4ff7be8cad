#include "ui/App.h"

#include "ui/Dialog.h"

#include <commctrl.h>

namespace ui {

namespace {
App* g_app = nullptr;
}

App::App() {
    g_app = this;
}

App::~App() {
    if (g_app == this) g_app = nullptr;
}

App* App::Current() {
    return g_app;
}

const std::string& App::Name() {
    if (m_name.empty()) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, sizeof path);
        const char* base = path;
        for (const char* p = path; *p; ++p)
            if (*p == '\\' || *p == '/') base = p + 1;
        m_name = base;
        size_t dot = m_name.rfind('.');
        if (dot != std::string::npos) m_name.erase(dot);
    }
    return m_name;
}

void App::OnHelp() {
    if (m_mainWindow) m_mainWindow->WinHelp(0, HELP_CONTEXT);
}

int App::Run() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    if (InitInstance()) {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (Window::FilterMessage(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

}  // namespace ui
