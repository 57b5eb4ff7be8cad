#include "ui/Strings.h"

namespace ui {

std::string LoadString(UINT id) {
    // String-table entries are limited to 4097 characters by the format.
    char buffer[4100];
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
}

}  // namespace ui
