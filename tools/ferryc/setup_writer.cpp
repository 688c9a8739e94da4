#include "setup_writer.h"

#include <set>
#include <system_error>

#include "archive/pak_file.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "host_paths.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

// Stores one entry; throws SetupError with a message for a person.
void StoreEntry(TPak& pak, const ArchiveSource& e) {
  if (e.hasData) {
    size_t index = pak.AddEntry(e.name, std::string(), e.group);
    pak.StoreBuffer(index, e.data);  // false only for empty data: the entry stays, empty
    return;
  }
  std::error_code ec;
  uint64_t size = fs::file_size(e.source, ec);
  if (ec) throw SetupError("cannot read '" + e.source.string() + "': " + ec.message());
  std::optional<std::string> ansi = AnsiFromPath(e.source);
  if (size >= kLargeEntryThreshold && ansi) {
    // Stored as it is and streamed, never held whole in memory.
    size_t index = pak.AddEntry(e.name, *ansi, e.group);
    pak.StoreFile(index);
    return;
  }
  std::vector<uint8_t> data = ReadFileBytes(e.source);
  size_t index = pak.AddEntry(e.name, std::string(), e.group);
  pak.StoreBuffer(index, data);
}

}  // namespace

bool WriteSetup(const CompiledSetup& setup, const fs::path& stub, const fs::path& output,
                const std::string& scriptName, std::vector<Diagnostic>& diagnostics, WriteStats* stats) {
  std::vector<uint8_t> host;
  try {
    host = ReadFileBytes(stub);
  } catch (const SetupError& e) {
    diagnostics.push_back({stub.string(), 0, std::string("cannot read the stub: ") + e.what(), false});
    return false;
  }
  if (host.empty()) {
    diagnostics.push_back({stub.string(), 0, "the stub is empty", false});
    return false;
  }

  fs::path temp = output;
  temp += ".ferryc-part";
  std::error_code ec;
  const ArchiveSource* current = nullptr;
  WriteStats s;
  try {
    auto file = OpenDiskFile(temp, FileMode::kCreate);
    if (!file) throw SetupError("cannot create '" + temp.string() + "'");
    file->WriteAt(0, host);
    s.stubSize = host.size();
    host = {};
    TPak pak(std::move(file), TPakMode::kAppendWriter);
    std::set<uint16_t> groups;
    for (const ArchiveSource& e : setup.entries) {
      current = &e;
      StoreEntry(pak, e);
      if (e.group != 0) groups.insert(e.group);
    }
    current = nullptr;
    pak.WriteDirectory();
    for (const TPakFile& f : pak.Files()) s.originalBytes += f.OrigSize;
    s.entries = pak.EntryCount();
    s.groups = groups.size();
    pak.Close();
  } catch (const std::exception& e) {
    fs::remove(temp, ec);
    if (current)
      diagnostics.push_back({scriptName, current->scriptLine, "'" + current->name + "': " + e.what(), false});
    else
      diagnostics.push_back({output.string(), 0, e.what(), false});
    return false;
  }
  fs::rename(temp, output, ec);
  if (ec) {
    fs::remove(temp, ec);
    diagnostics.push_back({output.string(), 0, "cannot write the setup: " + ec.message(), false});
    return false;
  }
  s.fileSize = fs::file_size(output, ec);
  if (stats) *stats = s;
  return true;
}

}  // namespace ferry::tool
