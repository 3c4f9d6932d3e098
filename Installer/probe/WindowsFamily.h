#pragma once

#include "probe/VersionText.h"

// Family code of the running Windows (see WindowsFamilyFromVersion), from WMI's
// Win32_OperatingSystem.Version; 0 when WMI cannot tell. Queries afresh on every call.
int GetWindowsFamily();
