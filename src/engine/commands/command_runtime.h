// Helpers shared by the commands' run steps (setup thread).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

class CommandRun;
class FileSystem;
class System;
struct SetupContext;
struct CompLine;


// Language text `number` of the current language with "<%FILENAME%>"
// replaced by an 8-bit file name.
std::u16string TextWithFileName(const SetupContext& ctx, int number, std::string_view fileName);

// Whether the string value under root/key equals `expected` exactly (see
// System::ReadRegistryString: a key that does not open does not match),
// inverted when negate is "0", "false" or "f" (any case).
bool RegistryCondition(System& system, std::string_view root, const std::string& key, const std::string& valueName,
                       std::string_view expected, std::string_view negate);

// Deletes everything below `folder` and the folder itself, as far as it can:
// a file or folder that cannot be removed stays, and the work still ends.
// Linked folders (junctions, symbolic links) are unlinked, not entered, so
// nothing outside the tree is touched. A missing folder: nothing happens.
// Returns what stayed.
std::vector<std::string> ClearFolderTree(FileSystem& files, const std::string& folder);

// Starts the program of an "execute" line (parameter 1, path variables
// expanded in the line; parameter 2 its arguments as written) and waits for
// it. Its exit code; none when it could not be started (the reason in
// `why`), or the wait ended because the run stops or the program was not
// waited for.
std::optional<uint32_t> RunLineProgram(SetupContext& ctx, const CommandRun& run, CompLine& line, std::string& why);

}  // namespace ferry
