// The version data of the running Windows, for OsInfo.
#pragma once

#include "engine/report/os_info.h"

namespace ferry {

OSVersionData ReadOSVersionData();

}  // namespace ferry
