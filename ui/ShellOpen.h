// Opening web and mail addresses through the shell. The program always goes
// through ShellOpen for them; by default it asks the shell to "open" the
// address, and tests put a stand-in in its place, so that no browser or mail
// program starts from a test.
#pragma once
#include <windows.h>

namespace ui {

// As ShellExecuteA(no owner, "open", target, no parameters, no folder, show):
// the shell's result code, above 32 on success.
using ShellOpener = INT_PTR (*)(const char* target, int show);
INT_PTR ShellOpen(const char* target, int show);

// For tests only: install a stand-in, or nullptr for the shell again.
// Returns the function it replaced.
ShellOpener SetShellOpenForTest(ShellOpener standIn);

}  // namespace ui
