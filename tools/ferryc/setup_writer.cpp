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
#include "formats/pak/pak_reader.h"
#include "formats/pak/pe_image.h"
#include "formats/setup/carried_uninstaller.h"
#include "base/scope_guard.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "host_paths.h"
#include "execution_level.h"
#include "sign_hook.h"
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
      if (size >= kLargeEntryThreshold && !pak_.SourceFile(i).empty()) {
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
        {stubName, 0,
         "the stub is signed: its signature is left out, as the archive appended to it would break it; "
         "the setup is what to sign (--sign or \"signcommand\", docs/signing.md)",
         true});
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

// A setup for the user (or one that elevates itself only when asked to
// install for the machine) starts without the elevation prompt.
void AskForNoElevation(std::vector<uint8_t>& host, const std::string& scriptName, std::vector<Diagnostic>& diagnostics) {
  switch (SetExecutionLevelAsInvoker(host)) {
    case ExecutionLevelResult::kSet:
      break;
    case ExecutionLevelResult::kNoManifest:
      diagnostics.push_back({scriptName, 0, "the stub's manifest names no execution level: left as it is", true});
      break;
    case ExecutionLevelResult::kAmbiguous:
      diagnostics.push_back({scriptName, 0,
                             "the stub names more than one execution level: the setup would still ask for "
                             "administrator rights",
                             false});
      break;
  }
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
  if (setup.Product.Scope != InstallScope::kMachine) AskForNoElevation(host, scriptName, diagnostics);
  ClearPeChecksum(host);
}

// Beside the output, ending in ".exe" as signers expect a program to.
fs::path PartPath(const fs::path& output, const char* suffix) {
  fs::path name = output.stem();
  name += suffix;
  name += ".ferryc-part.exe";
  return output.parent_path() / name;
}

void SignFailed(const CompiledSetup& setup, const std::string& scriptName, const char* what, const ShellCommandResult& run,
                std::vector<Diagnostic>& diagnostics) {
  std::string output = run.Output;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  diagnostics.push_back({scriptName, setup.SignLine,
                         std::string("the signing command failed on ") + what + (output.empty() ? "" : ":\n") + output,
                         false});
}

// The signer's file must still be a program whose archive is found, signed
// or not (a hook that signs nothing is allowed, but said).
bool CheckSigned(RandomAccessFile& file, const CompiledSetup& setup, const std::string& scriptName, const char* what,
                 std::vector<Diagnostic>& diagnostics) {
  const std::optional<uint64_t> end = PeAppendedDataEnd(file);
  if (!end || !PakReader(file).IsValid()) {
    diagnostics.push_back({scriptName, setup.SignLine,
                           std::string("the signing command left ") + what + " damaged: its archive is not found", false});
    return false;
  }
  if (*end == file.Size())
    diagnostics.push_back({scriptName, setup.SignLine, std::string("the signing command left ") + what + " unsigned",
                           true});
  return true;
}

// The uninstaller's archive, as the install used to build it: the
// "UNINSTALL_" entries without their prefix, the setup information marked as
// an uninstaller's, and the mark that the install's own record lies beside it.
// Its icon cannot be put in here: only Windows updates resources.
void AppendUninstallerArchive(const CompiledSetup& setup, std::unique_ptr<RandomAccessFile> file) {
  PakWriter pak = PakWriter::Append(std::move(file));
  for (const ArchiveSource& e : setup.Entries) {
    const std::optional<std::string> name = UninstallerEntryName(e.Name, e.Group);
    if (!name) continue;
    const size_t index = pak.AddEntry(*name, "", 0);
    pak.StoreBuffer(index, e.HasData ? e.Data : ReadFileBytes(e.Source));
  }
  pak.StoreBuffer(pak.AddEntry("SetupInfo", "", 0), UninstallerSetupInfo(setup.Info));
  const std::vector<uint8_t> mark = {'1'};
  pak.StoreBuffer(pak.AddEntry(kInstallInfoBesideEntry, "", 0), mark);
  pak.WriteDirectory();
  pak.Close();
}

// The uninstaller the install will write, made from `host` and signed by
// the hook; nullopt after a diagnostic.
std::optional<std::vector<uint8_t>> SignedUninstaller(const CompiledSetup& setup, const std::vector<uint8_t>& host,
                                                      const fs::path& output, const std::string& scriptName,
                                                      std::vector<Diagnostic>& diagnostics) {
  const fs::path part = PartPath(output, ".uninstaller");
  ScopeGuard drop([&part] {
    std::error_code ec;
    fs::remove(part, ec);
  });
  try {
    auto file = OpenDiskFile(part, FileMode::kCreate);
    if (!file) throw SetupError("cannot create '" + part.string() + "'");
    file->WriteAt(0, host);
    AppendUninstallerArchive(setup, std::move(file));
    if (auto written = OpenDiskFile(part, FileMode::kReadWrite)) PeWriteCheckSum(*written);
  } catch (const std::exception& e) {
    diagnostics.push_back({output.string(), 0, std::string("cannot make the uninstaller: ") + e.what(), false});
    return std::nullopt;
  }
  for (const ArchiveSource& e : setup.Entries)
    if (e.Group == 0 && EqualsNoCase(e.Name, kUninstallIconEntry))
      diagnostics.push_back({scriptName, e.ScriptLine,
                             "a signed uninstaller keeps the stub's icon: \"@icon\" is used only by setups "
                             "compiled without a signing command",
                             true});
  const ShellCommandResult run = RunSignHook(setup.SignCommand, part);
  if (!run.Ok) {
    SignFailed(setup, scriptName, "the uninstaller", run, diagnostics);
    return std::nullopt;
  }
  try {
    MemoryFile signedFile(ReadFileBytes(part));
    if (!CheckSigned(signedFile, setup, scriptName, "the uninstaller", diagnostics)) return std::nullopt;
    return std::move(signedFile.Data());
  } catch (const SetupError& e) {
    diagnostics.push_back({part.string(), 0, e.what(), false});
    return std::nullopt;
  }
}

// The signed uninstaller closes group 0.
void AddCarriedUninstaller(std::vector<ArchiveSource>& entries, std::vector<uint8_t> uninstaller) {
  auto payload = std::find_if(entries.begin(), entries.end(), [](const ArchiveSource& e) { return e.Group != 0; });
  entries.insert(payload, {kCarriedUninstallerEntry, 0, true, std::move(uninstaller), {}, 0, 0, {}, {}, false});
}

bool SignSetup(const CompiledSetup& setup, const fs::path& part, const std::string& scriptName,
               std::vector<Diagnostic>& diagnostics) {
  const ShellCommandResult run = RunSignHook(setup.SignCommand, part);
  if (!run.Ok) {
    SignFailed(setup, scriptName, "the setup", run, diagnostics);
    return false;
  }
  std::unique_ptr<RandomAccessFile> file = OpenDiskFile(part, FileMode::kRead);
  if (!file) {
    diagnostics.push_back({part.string(), 0, "the signed setup cannot be read", false});
    return false;
  }
  return CheckSigned(*file, setup, scriptName, "the setup", diagnostics);
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

  // With a signing hook the uninstaller (if the setup makes one) is made and
  // signed first, and the setup is signed before it takes its name: a failed
  // signer leaves none.
  const bool signing = !setup.SignCommand.empty();
  std::vector<ArchiveSource> entries = PlanDeltas(setup);
  if (signing && setup.Info.MakeUninstaller == 1) {
    std::optional<std::vector<uint8_t>> uninstaller = SignedUninstaller(setup, host, output, scriptName, diagnostics);
    if (!uninstaller) return false;
    AddCarriedUninstaller(entries, std::move(*uninstaller));
  }
  fs::path temp = output;
  temp += ".ferryc-part";
  if (signing) temp = PartPath(output, "");
  std::error_code ec;
  const ArchiveSource* current = nullptr;
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
  if (signing && !SignSetup(setup, temp, scriptName, diagnostics)) {
    fs::remove(temp, ec);
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
