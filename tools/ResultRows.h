// Where the repair and the clean-up report their work: one row per item,
// with the item's text and the id of its state text.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

using ResultRowSink = std::function<void(const std::string& content, UINT stateTextId)>;
