#include "quarantine/FindingDeletion.h"

#include <shlwapi.h>

#include "quarantine/QuarantineStore.h"
#include "res/resource.h"
#include "ui/MessageBox.h"

namespace {

// A drive path "X:\..." or a UNC path "\\server\share\..."; a path on the
// current drive or folder would depend on where the process happens to be.
bool IsFullPath(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return true;
    return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

bool FileStillExists(const std::string& path) {
    char found[1024];
    DWORD length = SearchPathA(nullptr, path.c_str(), nullptr, sizeof found, found, nullptr);
    return length > 0 && length < sizeof found;
}

}  // namespace

UINT DeleteFinding(const std::string& path, bool announce) {
    if (path.empty() || path.size() > QUARANTINE_PATH_MAX) return IDS_DELETE_FAILED;
    if (!IsFullPath(path) || PathIsRootA(path.c_str())) return IDS_DELETE_FAILED;
    DWORD attributes = GetFileAttributesA(path.c_str());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!FileStillExists(path)) return IDS_DELETED;
    if (announce) ui::ShowMessage(IDS_PLEASE_WAIT);
    if (QuarantineAndDelete(path.c_str())) return IDS_DELETED;
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), attributes);
    return IDS_DELETE_FAILED;
}
