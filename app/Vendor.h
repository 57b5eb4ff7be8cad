// The vendor's addresses: the one place where they are configured. The web
// site and the support mailbox are the Information page's links; the update
// manifest's address is the last field of the updater's command line.
#pragma once
#include <string>

namespace vendor {

const char* const WEB_SITE = "https://www.vantorix.example/";
const char* const SUPPORT_MAIL = "mailto:support@vantorix.example";
// Scheme and host of the update manifest; its path is fixed.
const char* const UPDATE_HOST = "https://update.vantorix.example";
const char* const UPDATE_MANIFEST_PATH = "/update/update.ini";

inline std::string UpdateManifestAddress() { return std::string(UPDATE_HOST) + UPDATE_MANIFEST_PATH; }

}  // namespace vendor
