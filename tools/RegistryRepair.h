// Puts back the registry settings that malicious programs commonly change:
// the current user's Explorer and system policies, the hidden-file and
// extension settings, the browser's pages and the text-file command.
#pragma once
#include "tools/ResultRows.h"

// The browser maker's addresses written back: the home page (24 characters)
// and the search redirect (59 characters).
extern const char BROWSER_HOME_PAGE[];
extern const char BROWSER_SEARCH_PAGE[];

// Runs the 31 repair items in order, reporting one row per item whatever the
// registry calls return. Keys are opened, never created. False, changing
// nothing and reporting no row, when the user's Explorer policy key cannot be
// opened.
bool RepairRegistry(const ResultRowSink& addRow);
