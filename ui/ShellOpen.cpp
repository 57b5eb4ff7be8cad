#include "ui/ShellOpen.h"

#include <shellapi.h>

#include <atomic>

namespace ui {

namespace {

INT_PTR RealShellOpen(const char* target, int show) {
    return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, show));
}

std::atomic<ShellOpener> g_shellOpen{RealShellOpen};

}  // namespace

INT_PTR ShellOpen(const char* target, int show) { return g_shellOpen.load()(target, show); }

ShellOpener SetShellOpenForTest(ShellOpener standIn) {
    return g_shellOpen.exchange(standIn ? standIn : RealShellOpen);
}

}  // namespace ui
