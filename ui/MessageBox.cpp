#include "ui/MessageBox.h"

#include "ui/Strings.h"

#include <mutex>

namespace ui {

namespace {
std::mutex g_responderLock;
MessageResponder g_responder;
}  // namespace

MessageResponder SetMessageResponder(MessageResponder responder) {
    std::lock_guard<std::mutex> hold(g_responderLock);
    std::swap(g_responder, responder);
    return responder;
}

int ShowMessage(const std::string& text, UINT type) {
    MessageResponder responder;
    {
        std::lock_guard<std::mutex> hold(g_responderLock);
        responder = g_responder;
    }
    if (responder) return responder(text, type);
    // Owned by the active window of this thread, as the framework's boxes are.
    HWND owner = GetActiveWindow();
    return MessageBoxA(owner, text.c_str(), "Vantorix", type);
}

int ShowMessage(UINT id, UINT type) { return ShowMessage(LoadString(id), type); }

}  // namespace ui
