#include "usb/ProcessTools.h"

#include <cstring>

#include "ui/Guards.h"
#include "usb/RiskyFiles.h"

namespace {

// Vista and later only, so looked up at run time: the release still starts on XP.
using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
const DWORD QUERY_LIMITED_INFORMATION = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION

QueryFullProcessImageNameFn ResolveQueryFullProcessImageName() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<QueryFullProcessImageNameFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "QueryFullProcessImageNameA")));
}

// The program file of a process whose modules could not be listed.
bool QueryImageModule(DWORD processId, MODULEENTRY32* module) {
    static const QueryFullProcessImageNameFn query = ResolveQueryFullProcessImageName();
    if (!query) return false;
    ui::ScopedHandle process(OpenProcess(QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return false;
    char path[MAX_PATH] = {};
    DWORD length = sizeof path;
    if (!query(process, 0, path, &length) || length == 0 || length >= sizeof path) return false;
    if (GetRiskyFileType(path) != RISKY_EXE) return false;
    memcpy(module->szExePath, path, length + 1);
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    lstrcpynA(module->szModule, name, sizeof module->szModule);
    module->th32ProcessID = processId;
    return true;
}

bool SetPrivilege(const char* name, DWORD attributes) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
    ui::ScopedHandle token(raw);
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = attributes;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // Success is not enough: ERROR_NOT_ALL_ASSIGNED says the account lacks it.
    return GetLastError() == ERROR_SUCCESS;
}

}  // namespace

bool FindExeModule(DWORD processId, MODULEENTRY32* out, int size) {
    if (processId == 0 || !out || size <= 0) return false;
    if (size > static_cast<int>(sizeof(MODULEENTRY32))) size = sizeof(MODULEENTRY32);
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    ui::ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (snapshot && Module32First(snapshot, &module)) {
        do {
            if (GetRiskyFileType(module.szExePath) == RISKY_EXE) {
                memcpy(out, &module, static_cast<size_t>(size));
                return true;
            }
        } while (Module32Next(snapshot, &module));
        return false;
    }
    module = MODULEENTRY32{};
    module.dwSize = sizeof module;
    if (!QueryImageModule(processId, &module)) return false;
    memcpy(out, &module, static_cast<size_t>(size));
    return true;
}

std::string GetProcessExePath(DWORD processId) {
    MODULEENTRY32 module = {};
    if (!FindExeModule(processId, &module, sizeof module)) return std::string();
    return module.szExePath;
}

bool EnablePrivilege(const char* name) {
    return SetPrivilege(name, SE_PRIVILEGE_ENABLED);
}

bool DisablePrivilege(const char* name) {
    return SetPrivilege(name, 0);
}

bool WaitForProcessExit(HANDLE process, DWORD timeoutMs) {
    return process && WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}
