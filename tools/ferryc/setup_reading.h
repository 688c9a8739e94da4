// Reading finished setups for people who ship them and for support: the
// archive directory, the soundness of every entry, extraction, and the setup
// information with the command stream written back as a script.
//
// A setup is untrusted input: everything here reports damage as findings or
// SetupError and never reads outside the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/pak/pak_reader.h"
#include "formats/setup/comp_lines.h"
#include "formats/setup/product_info.h"
#include "formats/setup/setup_info.h"

namespace ferry::tool {

class OpenedSetup {
 public:
  // Throws SetupError when the file cannot be opened.
  explicit OpenedSetup(const std::filesystem::path& path);
  // Over a file already open (a setup in memory, for example).
  OpenedSetup(std::unique_ptr<RandomAccessFile> file, std::filesystem::path name);

  PakReader& Pak() { return *pak_; }
  RandomAccessFile& File() { return *file_; }
  uint64_t FileSize() const { return size_; }
  const std::filesystem::path& Path() const { return path_; }
  // Why the file carries no readable archive, or empty when it does.
  std::string ArchiveProblem() const;

  // The group-0 records, when present and sound.
  std::optional<SetupInfoFile> SetupInfo();
  std::optional<CompLineList> CompiledLines();
  // What "ProductInfo" says: empty values when the setup carries none,
  // nullopt when the entry is damaged or cannot be loaded.
  std::optional<ProductInformation> ProductInfo();

 private:
  std::filesystem::path path_;
  std::unique_ptr<RandomAccessFile> owned_;
  RandomAccessFile* file_ = nullptr;
  std::unique_ptr<PakReader> pak_;
  uint64_t size_ = 0;
};

struct EntryCheck {
  size_t Index = 0;
  bool Sound = false;
  std::string State;  // "ok", "empty", "large, stored (no checksum)", or what is wrong
};

// Checks one entry: stored bytes inside the data area, checksum, unpacked
// size. Large stored entries are read in chunks.
EntryCheck CheckEntry(OpenedSetup& setup, size_t index);

// Findings about the setup as a whole: missing records, payload groups that
// no line consumes or lines whose group is missing. Empty when all is well.
std::vector<std::string> CheckStructure(OpenedSetup& setup);

// Writes the entry's unpacked bytes to `target`, streamed in chunks. Throws
// SetupError for damage (no file is left then) or a file that cannot
// be written.
// A delta entry is made against `base` (its earlier release's file); without
// one it throws SetupError saying so.
void ExtractEntry(OpenedSetup& setup, size_t index, const std::filesystem::path& target,
                  const std::filesystem::path& base = {});
// The folder below the install folder each "file" line's group goes to
// ("" or "SUB\"), by group.
std::map<uint16_t, std::string> InstallFolders(OpenedSetup& setup);

// "zlib", "zstd" (by the first stored bytes) or "stored".
std::string EntryMethod(OpenedSetup& setup, const PakFile& e);
// The text of the "DeltaBase" entry (the "@base" folder), or empty.
std::string DeltaBaseText(OpenedSetup& setup);
// Whether any compressed entry is a zstd frame.
bool UsesZstd(OpenedSetup& setup);

}  // namespace ferry::tool
