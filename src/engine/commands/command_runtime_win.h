// Helpers shared by the run-time actions of the commands (setup thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ferry {

struct TCompLine;
struct TSetupContext;

// The line at lineIndex, or nullptr when the stream has no such line.
TCompLine* CommandLine(TSetupContext& ctx, int lineIndex);

// Records a folder that a helper created in the install log.
std::function<void(const std::string&)> LogCreatedDirectory(TSetupContext& ctx);

// Language text `number` of the current language with "<%FILENAME%>"
// replaced by an 8-bit file name.
std::u16string TextWithFileName(const TSetupContext& ctx, int number, std::string_view fileName);

// The folder part of a path, with its trailing backslash; empty without one.
std::string FolderOf(std::string_view path);


// Whether the string value under root/key equals `expected` exactly. The key
// is created when missing; a missing value reads as empty; a key that does
// not open does not match.
bool RegistryValueMatches(std::string_view root, const std::string& key, const std::string& valueName,
                          std::string_view expected);
// The match, inverted when negate is "0", "false" or "f" (any case).
bool RegistryCondition(std::string_view root, const std::string& key, const std::string& valueName,
                       std::string_view expected, std::string_view negate);

// Deletes everything below `folder` and the folder itself, as far as it can:
// a file or folder that cannot be removed stays, and the work still ends.
// Linked folders (junctions, symbolic links) are unlinked, not entered, so
// nothing outside the tree is touched. A missing folder: nothing happens.
void ClearFolderTree(const std::string& folder);

}  // namespace ferry
