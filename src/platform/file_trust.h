// Whether a file an elevated run acts on could have been written by a
// program of the same user at normal rights.
#pragma once

#include <string>

namespace ferry {

class PrivateFolder;

// "" when the file cannot have been written by such a program; otherwise
// why: it is a link, it has a second name (a hard link), or its owner is
// neither the administrators, the system, the installer service nor the
// owner this process's own new files get (the owner of `own`'s folder).
std::string WhyFileNotTrusted(const std::string& path, PrivateFolder& own);

}  // namespace ferry
