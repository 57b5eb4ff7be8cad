// The one place that shows message boxes. Every box has the caption
// "Vantorix" and either an OK button or OK and Cancel.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace ui {

// Shows `text` with MB_OK or MB_OKCANCEL (plus optional icon bits) and returns
// IDOK or IDCANCEL. Safe to call from worker threads.
int ShowMessage(const std::string& text, UINT type = MB_OK);

// Shows string-table entry `id`.
int ShowMessage(UINT id, UINT type = MB_OK);

// Tests answer boxes instead of a person: while a responder is installed it
// receives the text and the button type and returns the answer; no window
// is created. Pass an empty function to restore real boxes. Returns the
// responder it replaced.
using MessageResponder = std::function<int(const std::string& text, UINT type)>;
MessageResponder SetMessageResponder(MessageResponder responder);

}  // namespace ui
