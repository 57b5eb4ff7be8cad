// String-table access: every user-visible text comes from the resources.
#pragma once
#include <windows.h>
#include <string>

namespace ui {

// The string with resource id `id` from the running module, or "" when the
// id is missing.
std::string LoadString(UINT id);

}  // namespace ui
