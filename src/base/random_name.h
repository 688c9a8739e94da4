// Names that no other process can predict: scratch files and private folders
// of a run, which a program of lesser rights could otherwise prepare (a link
// planted at the name) before the run creates them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ferry {

// 16 lowercase hex digits from the system's cryptographic random source
// (64 bits). Throws SetupError when the source fails: a guessable name is
// never handed out instead.
std::string RandomNameToken();
// The host's cryptographic random source; false when it failed.
bool SystemRandomBytes(std::span<uint8_t> out);

// Scratch and set-aside files of a run are "~ferry-" + a random token +
// ".tmp" in the folder of the file they stand for; recovery restores only
// such names.
inline constexpr char kScratchPrefix[] = "~ferry-";
inline constexpr char kScratchSuffix[] = ".tmp";
// folder + "\" + such a name; folder may end in a backslash or be empty.
std::string RandomScratchPath(const std::string& folder);

}  // namespace ferry
