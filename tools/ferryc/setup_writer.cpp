#include "setup_writer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <system_error>

#include "formats/pak/delta_codec.h"
#include "formats/pak/pak_codec.h"
#include "formats/pak/pak_writer.h"
#include "formats/pak/pe_image.h"
#include "base/scope_guard.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "host_paths.h"
#include "version_resource.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

// Entries are packed by worker threads (zlib at level 9 dominates the time)
// and appended by the calling thread strictly in archive order, so the bytes
// do not depend on the threads. Workers run ahead of the writing by up to
// kAheadBytes of source (and kAheadEntries entries), so that one big file
// packing on one core does not leave the others idle.
constexpr uint64_t kAheadBytes = 128ull << 20;
constexpr size_t kAheadEntries = 1024;

// Deltas are made at the setup's zstd level; without one at the highest for
// a file of one chunk, and at a fast level for larger ones, where the
// long-distance matching finds the old bytes and the level's own search adds
// little but time (a 200 MiB file: the same size at level 3 in a sixth of
// level 9's time).
constexpr int kLargeDeltaLevel = 3;
int DeltaLevel(const CompiledSetup& setup, uint64_t size) {
  if (setup.ZstdLevel > 0) return setup.ZstdLevel;
  return size <= kDeltaChunkSize ? kZstdMaxLevel : kLargeDeltaLevel;
}

struct Slot {
  bool Done = false;
  bool Streamed = false;  // a large file the writer streams itself
  std::optional<std::vector<uint8_t>> Stored;
  std::string Error;
};

class ParallelPacker {
 public:
  ParallelPacker(PakWriter& pak, const std::vector<ArchiveSource>& entries, const EntryStored& onStored,
                 const CompiledSetup& setup)
      : pak_(pak), entries_(entries), on_stored_(onStored), slots_(entries.size()), setup_(setup) {}

  // Throws SetupError naming the entry that failed; *failed is its index.
  void Run(size_t* failed) {
    unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    unsigned workers = std::min<unsigned>(hw, 4);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < workers; ++t) threads.emplace_back([this] { Work(); });
    ScopeGuard stop([&] { Stop(threads); });
    uint64_t bytes = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
      *failed = i;
      Slot slot = Take(i);
      if (!slot.Error.empty()) throw SetupError(slot.Error);
      if (slot.Streamed) pak_.StoreFile(i);
      else if (slot.Stored) pak_.StorePacked(i, *slot.Stored);
      bytes += SourceBytes(entries_[i]);
      if (on_stored_) on_stored_(i + 1, bytes);
    }
  }

 private:
  void Work() {
    for (;;) {
      size_t i;
      {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return stop_ || (next_ < entries_.size() && RoomFor(next_)); });
        if (stop_ || next_ >= entries_.size()) return;
        i = next_++;
        ahead_bytes_ += SourceBytes(entries_[i]);
      }
      Slot slot = Pack(i);
      {
        std::lock_guard lock(mutex_);
        slots_[i] = std::move(slot);
        slots_[i].Done = true;
      }
      ready_.notify_all();
    }
  }

  Slot Pack(size_t i) {
    Slot slot;
    const ArchiveSource& e = entries_[i];
    try {
      if (e.HasData) {
        slot.Stored = pak_.PackBuffer(i, e.Data);
        return slot;
      }
      std::error_code ec;
      uint64_t size = fs::file_size(e.Source, ec);
      if (ec) throw SetupError("cannot read '" + e.Source.string() + "': " + ec.message());
      if (!e.Base.empty() && PackDelta(i, e, size, slot)) return slot;
      if (size >= kLargeEntryThreshold && !pak_.Files()[i].SourceFile.empty()) {
        slot.Streamed = true;  // stored as it is, never held whole in memory
        return slot;
      }
      std::vector<uint8_t> data = ReadFileBytes(e.Source);
      slot.Stored = pak_.PackBuffer(i, data);
    } catch (const std::exception& err) {
      slot.Error = err.what();
    }
    return slot;
  }

  // The entry as a delta against its base, when that is smaller than the
  // entry stored whole (a large file whole is its own size); false: whole.
  bool PackDelta(size_t i, const ArchiveSource& e, uint64_t size, Slot& slot) {
    std::vector<uint8_t> base = ReadFileBytes(e.Base), data = ReadFileBytes(e.Source);
    if (base == data) return false;
    std::optional<std::vector<uint8_t>> delta = MakeDelta(base, data, DeltaLevel(setup_, data.size()));
    if (!delta) throw SetupError("cannot make the delta against '" + e.Base.string() + "'");
    base = {};
    uint64_t whole = size;
    if (size < kLargeEntryThreshold) {
      std::optional<std::vector<uint8_t>> packed = pak_.PackBuffer(i, data);
      whole = packed ? packed->size() : 0;
      if (delta->size() >= whole) {
        slot.Stored = std::move(packed);
        return true;
      }
    }
    if (delta->size() >= whole) return false;
    slot.Stored = pak_.PackDelta(i, std::move(*delta), data.size());
    return true;
  }

  // The entry the writer waits for is always taken; later ones while the budget lasts.
  bool RoomFor(size_t i) const {
    if (i == taken_) return true;
    return i - taken_ < kAheadEntries && ahead_bytes_ + SourceBytes(entries_[i]) <= kAheadBytes;
  }

  Slot Take(size_t i) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return slots_[i].Done; });
    Slot slot = std::move(slots_[i]);
    slots_[i] = Slot{};
    taken_ = i + 1;
    ahead_bytes_ -= SourceBytes(entries_[i]);
    room_.notify_all();
    return slot;
  }

  void Stop(std::vector<std::thread>& threads) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    room_.notify_all();
    for (std::thread& t : threads) t.join();
  }

  PakWriter& pak_;
  const std::vector<ArchiveSource>& entries_;
  const EntryStored& on_stored_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  size_t next_ = 0;
  size_t taken_ = 0;
  uint64_t ahead_bytes_ = 0;  // source bytes of the entries claimed and not yet taken
  bool stop_ = false;
  const CompiledSetup& setup_;
};

// With a base folder: each installed file that the base holds too is
// stored against it, and one named by "@whole" also whole, right after; the
// base folder's text closes group 0. Without one the entries are as compiled.
std::vector<ArchiveSource> PlanDeltas(const CompiledSetup& setup) {
  if (setup.BaseDir.empty()) return setup.Entries;
  std::vector<ArchiveSource> out;
  out.reserve(setup.Entries.size() + 1);
  std::string text = setup.BaseText;
  ArchiveSource record{kDeltaBaseEntry, 0, true, std::vector<uint8_t>(text.begin(), text.end()), {}, 0, setup.BaseLine, {}, {}, false};
  bool recorded = false;
  for (const ArchiveSource& e : setup.Entries) {
    if (e.Group != 0 && !recorded) {
      out.push_back(record);
      recorded = true;
    }
    out.push_back(e);
    if (e.Installed.empty()) continue;
    std::string rel = e.Installed;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    std::error_code ec;
    fs::path base = setup.BaseDir / PathFromAnsi(rel);
    if (!fs::is_regular_file(base, ec)) continue;
    out.back().Base = base;
    const std::string lower = AsciiLowerCopy(e.Name);
    if (std::find(setup.WholeToo.begin(), setup.WholeToo.end(), lower) == setup.WholeToo.end()) continue;
    ArchiveSource twin = e;
    twin.Base.clear();
    twin.WholeTwin = true;
    out.push_back(std::move(twin));
  }
  if (!recorded) out.push_back(record);
  return out;
}

// The archive changes the file after a signature, so a signed stub is
// written as the unsigned program: without its certificate table and with
// the security directory entry cleared. The setup is signed afterwards.
bool UnsignedStub(std::vector<uint8_t>& host, const std::string& stubName, std::vector<Diagnostic>& diagnostics) {
  MemoryFile image(std::move(host));
  std::optional<uint64_t> end = PeAppendedDataEnd(image);
  if (!end) {
    diagnostics.push_back({stubName, 0, "the stub's certificate table is damaged", false});
    return false;
  }
  if (*end < image.Size()) {
    image.Truncate(*end);
    PeClearSecurityEntry(image);
    diagnostics.push_back(
        {stubName, 0, "the stub is signed: its signature is left out (sign the compiled setup instead)", true});
  }
  host = std::move(image.Data());
  return true;
}

// The file properties of the setup (and of its uninstaller, a copy of the
// same host): the product's names, version and publisher.
VersionFill FillFor(const CompiledSetup& setup) {
  const std::string version = setup.Product.Version.empty() ? "0.0.0.0" : setup.Product.Version;
  VersionFill fill;
  fill.FileVersion = ParseVersionNumbers(version).value_or(VersionNumbers{});
  fill.ProductVersion = fill.FileVersion;
  fill.Values = {{u"CompanyName", CodePageToUtf16(setup.Product.Publisher)},
                 {u"FileDescription", CodePageToUtf16(setup.Info.SetupTitle)},
                 {u"FileVersion", CodePageToUtf16(version)},
                 {u"ProductName", CodePageToUtf16(setup.Info.ShortTitle)},
                 {u"ProductVersion", CodePageToUtf16(version)}};
  return fill;
}

void FillHost(std::vector<uint8_t>& host, const CompiledSetup& setup, const std::string& scriptName,
              std::vector<Diagnostic>& diagnostics) {
  std::vector<std::string> problems;
  switch (FillVersionResource(host, FillFor(setup), problems)) {
    case VersionFillResult::kFilled:
      break;
    case VersionFillResult::kNoResource:
      // A stand-in stub for checking the data has none; say so only when it matters.
      if (!setup.Product.Empty())
        problems.push_back("the stub carries no version resource: the setup's file properties will not name the product");
      break;
    case VersionFillResult::kAmbiguous:
      problems.push_back("the stub carries more than one version resource: none was filled");
      break;
  }
  for (std::string& p : problems) diagnostics.push_back({scriptName, 0, std::move(p), true});
  ClearPeChecksum(host);
}

}  // namespace

uint64_t SourceBytes(const ArchiveSource& entry) { return entry.HasData ? entry.Data.size() : entry.Size; }

bool WriteSetup(const CompiledSetup& setup, const fs::path& stub, const fs::path& output,
                const std::string& scriptName, std::vector<Diagnostic>& diagnostics, WriteStats* stats,
                const EntryStored& onStored) {
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
  if (!UnsignedStub(host, stub.string(), diagnostics)) return false;
  // Only the host's own bytes change, in place, before the archive is appended.
  FillHost(host, setup, scriptName, diagnostics);

  fs::path temp = output;
  temp += ".ferryc-part";
  std::error_code ec;
  const ArchiveSource* current = nullptr;
  std::vector<ArchiveSource> entries;
  WriteStats s;
  try {
    auto file = OpenDiskFile(temp, FileMode::kCreate);
    if (!file) throw SetupError("cannot create '" + temp.string() + "'");
    file->WriteAt(0, host);
    s.StubSize = host.size();
    host = {};
    PakWriter pak = PakWriter::Append(std::move(file));
    if (const int level = setup.ZstdLevel; level > 0)
      pak.SetCompressor([level](std::span<const uint8_t> data) { return ZstdPack(data, level); });
    std::set<uint16_t> groups;
    entries = PlanDeltas(setup);
    // Every entry first, so the packers never see the directory grow.
    for (const ArchiveSource& e : entries) {
      std::string source;
      if (!e.HasData && e.Size >= kLargeEntryThreshold) source = AnsiFromPath(e.Source).value_or(std::string());
      const size_t index = pak.AddEntry(e.Name, source, e.Group);
      if (e.WholeTwin) pak.SetKind(index, kEntryWholeFallback);
      if (e.Group != 0) groups.insert(e.Group);
    }
    size_t failed = 0;
    try {
      ParallelPacker(pak, entries, onStored, setup).Run(&failed);
    } catch (...) {
      current = &entries[failed];
      throw;
    }
    pak.WriteDirectory();
    for (const PakFile& f : pak.Files()) s.OriginalBytes += f.OrigSize;
    s.Entries = pak.EntryCount();
    s.Groups = groups.size();
    pak.Close();
  } catch (const std::exception& e) {
    fs::remove(temp, ec);
    if (current)
      diagnostics.push_back({scriptName, current->ScriptLine, "'" + current->Name + "': " + e.what(), false});
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
  s.FileSize = fs::file_size(output, ec);
  if (stats) *stats = s;
  return true;
}

}  // namespace ferry::tool
