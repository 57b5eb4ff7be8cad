// The deletion of one file that a scan of the USB drives listed, shared by the
// shield page and the thorough scan page.
#pragma once
#include <windows.h>

#include <string>

// Quarantines and deletes the file at `path`; returns the id of its row's new
// state text, IDS_DELETED or IDS_DELETE_FAILED. A file already gone counts as
// deleted. An empty, relative or root path, and one the quarantine cannot hold
// (over 255 characters), is refused and left untouched. The attributes are
// cleared first so that hidden and read-only files go; a file that stays gets
// them back, so that a failed delete never leaves a file unhidden. With
// `announce`, the "please wait" message is shown before the file is copied.
UINT DeleteFinding(const std::string& path, bool announce);
