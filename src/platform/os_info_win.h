// The version data of the running Windows, for TOSInfo.
#pragma once

#include "engine/report/os_info.h"

namespace ferry {

TOSVersionData ReadOSVersionData();

}  // namespace ferry
