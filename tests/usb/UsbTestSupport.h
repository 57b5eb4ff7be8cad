// Helpers for the drive tests: a stand-in for the bus-type query Wine cannot
// answer as Windows does (the OS family's is vxtest::PlatformStandIn), and a
// way to take drive letters away for real while a test runs.
#pragma once
#include <windows.h>
#include <winioctl.h>

#include <string>

#include "usb/SystemSeams.h"

namespace usbtest {

// Calls GetUsbDriveLetters with a zeroed list between guard bytes, checks that
// nothing was written outside the count, and returns the letters.
std::string ListUsbDrives();

// The fixed drives recorded at start-up, up to the first zero entry.
std::string RecordedFixedDrives();

// While alive, every volume's storage query reports `bus` (or fails when
// `succeeds` is false). Checks that each query is the standard device query
// into a 551-byte descriptor.
class BusTypeStandIn {
public:
    explicit BusTypeStandIn(STORAGE_BUS_TYPE bus, bool succeeds = true);
    ~BusTypeStandIn();
    BusTypeStandIn(const BusTypeStandIn&) = delete;
    BusTypeStandIn& operator=(const BusTypeStandIn&) = delete;
    int Queries() const;
    // Whether any queried volume had been opened with read or write access.
    bool OpenedWithDataAccess() const;

private:
    StoragePropertyQuery m_replaced;
};

}  // namespace usbtest
