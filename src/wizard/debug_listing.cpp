#include "wizard/debug_listing.h"

#include "formats/pak/pak_reader.h"
#include "formats/setup/setup_info.h"
#include "base/text_helpers.h"

namespace ferry {

std::vector<std::string> DebugListingLines(const PakReader& pak, const SetupInfoRecord& info) {
  const PakTrailer& t = pak.Trailer();
  std::vector<std::string> lines;
  lines.push_back("Header");
  lines.push_back("ID: " + std::string(t.Magic, sizeof(t.Magic)));
  lines.push_back("Version: " + std::to_string(t.Version));
  lines.push_back("File Count: " + std::to_string(t.EntryCount));
  lines.push_back("");
  lines.push_back("Files:");
  for (const PakFile& f : pak.Files()) lines.push_back("\"" + f.Name + "\" Group: " + std::to_string(f.Group));
  lines.push_back("");
  lines.push_back("SetupInfo:");
  lines.push_back("SetupName: " + info.SetupTitle);
  lines.push_back("SetupExeName: " + info.SetupExeName);
  lines.push_back("InstallDir: " + info.InstallDir);
  lines.push_back("InstallDirRegKey.HKEY: " + RootKeyName(info.InstallDirRegKey.RootKey));
  lines.push_back("InstallDirRegKey.Path: " + info.InstallDirRegKey.Key);
  lines.push_back("InstallDirRegKey.Key: " + info.InstallDirRegKey.ValueName);
  lines.push_back("Changelog: " + info.ChangelogName);
  return lines;
}

}  // namespace ferry
