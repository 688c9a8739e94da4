// Whether two paths name one file.
#pragma once

#include <string>

namespace ferry {

// The same volume and file index when both open (so a short 8.3 name,
// another drive letter mapped to the same disk or a share name the same
// file), else the same text ignoring case and doubled backslashes.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace ferry
