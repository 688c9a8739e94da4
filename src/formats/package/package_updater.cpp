#include "formats/package/package_updater.h"

#include <random>

#include "formats/pak/crc32.h"
#include "formats/package/package_check.h"
#include "formats/sound/sound_entry.h"
#include "base/file_system.h"
#include "base/path_text.h"
#include "base/random_name.h"
#include "base/scope_guard.h"
#include "base/text.h"
#include "formats/languages/text_ids.h"

namespace ferry {

const std::string_view kPackageAccessCode = "kestrel";

namespace {

// Writing to the package or its side file failed (a full disk, mostly):
// said in the words of a full disk.
class PackageWriteError : public SetupError {
 public:
  using SetupError::SetupError;
};

bool EndsWithWav(std::string_view name) {
  return name.size() >= 4 && EqualsNoCase(name.substr(name.size() - 4), ".wav");
}

std::string RecordName(std::string_view name) { return std::string(name.substr(0, kPackageNameMax)); }

}  // namespace

bool IsOfficialFlag(std::string_view flagText) {
  std::string lower = AsciiLowerCopy(flagText);
  return lower == "t" || lower == "true" || flagText == "1";
}

PackageUpdater::PackageUpdater(PackageUpdaterHost host) : host_(std::move(host)) {
  if (!host_.Files) throw SetupError("The package system needs a file system");
  random_ = host_.RandomKeyParam;
  if (!random_) {
    // The system's random source seeds it: std::random_device brings in a
    // device-name parser and the C runtime's rand_s for one number.
    uint32_t seed = 0;
    if (!SystemRandomBytes({reinterpret_cast<uint8_t*>(&seed), sizeof seed}))
      throw SetupError("The system's random source failed");
    auto engine = std::make_shared<std::mt19937>(seed);
    random_ = [engine] { return static_cast<uint8_t>(std::uniform_int_distribution<int>(2, 6)(*engine)); };
  }
}

PackageUpdater::~PackageUpdater() {
  // Only reached open when an exception skipped the command's own ending.
  if (cut_done_) Abandon();
}

void PackageUpdater::Fatal(const std::string& text) { throw SetupError(text); }

void PackageUpdater::ShowStatus(int number, std::vector<TextMacro> macros) {
  if (host_.Progress) host_.Progress->SetStatusText(number, macros);
}

uint8_t PackageUpdater::KeyParam() { return random_(); }

void PackageUpdater::Warn(const std::string& text) {
  if (host_.Warning) host_.Warning(text);
}

// ---- Opening --------------------------------------------------------------

void PackageUpdater::OpenPackage(const std::string& path) {
  Close();
  path_ = path;
  stats_ = {};
  FileSystem& fs = *host_.Files;
  for (;;) {
    std::string message;
    if (fs.IsReadOnly(path) && !fs.MakeWritable(path)) {
      message = "Unable to modify \"" + path + "\" attributes";
    } else if (auto f = fs.Open(path, FileMode::kReadWriteExclusive)) {
      file_ = std::move(f);
      break;
    } else if (!fs.FileExists(path) && !fs.DirectoryExists(path)) {
      message = "File not found: \"" + path + "\".";
    } else {
      message = "Unable to modify file:\"" + path + "\", file may be in use or drive is write protected...";
    }
    if (host_.RetryOpen && host_.RetryOpen(path, message)) continue;
    Fatal(message);
  }
  ScopeGuard close([this] { Close(); });
  stats_.Recovery = RecoverInterruptedUpdate(fs, path_, *file_);
  close.Dismiss();
  LoadDirectory();
  // Every entry too, before anything is written: a save over damage would
  // give a damaged package a fresh directory and hide what was lost.
  const std::string key = AsciiLowerCopy(path_);
  if (host_.Checked && host_.Checked->contains(key)) return;
  const PackageCheckReport check = CheckPackageArchive(*file_);
  if (!check.Ok()) {
    Close();
    Fatal("The package archive " + path_ + " is damaged (" + check.Errors.front() +
          "); nothing was written into it. Repair or reinstall the product, then run the setup again.");
  }
  if (host_.Checked) host_.Checked->insert(key);
}

void PackageUpdater::LoadDirectory() {
  info_ = {};
  table_.clear();
  index_.clear();
  cut_done_ = false;
  PackageTail tail = ReadPackageTail(*file_);
  trailer_ = tail.Trailer;
  info_ = tail.Trailer.Info;
  old_length_ = tail.FileSize;
  if (tail.Status == PackageReadStatus::kCorruptHeader) {
    Close();
    Fatal("File " + path_ + " has corrupted header.");
  }
  if (tail.Status == PackageReadStatus::kInflateError) {
    Close();
    throw SetupError("Decompression error in the directory of " + path_);
  }
  table_.reserve(tail.Entries.size());
  for (auto& e : tail.Entries) AddRecord(std::move(e));
  cut_ = tail.CutPosition;
  append_ = cut_;
}

void PackageUpdater::AddRecord(PackageEntry e) {
  // A name listed twice is found at its first record, as a lookup in
  // directory order would.
  index_.emplace(CodePageLower(e.Name), table_.size());
  table_.push_back(std::move(e));
}

const PackageEntry* PackageUpdater::FindEntry(std::string_view name) const {
  auto it = index_.find(CodePageLower(RecordName(name)));
  return it == index_.end() ? nullptr : &*table_[it->second];
}

std::vector<PackageEntry> PackageUpdater::Entries() const {
  std::vector<PackageEntry> out;
  out.reserve(table_.size());
  for (const auto& e : table_)
    if (e) out.push_back(*e);
  return out;
}

// ---- Writing --------------------------------------------------------------

void PackageUpdater::Write(uint64_t offset, std::span<const uint8_t> bytes) {
  try {
    file_->WriteAt(offset, bytes);
  } catch (const SetupError& e) {
    throw PackageWriteError(e.what());
  }
}

void PackageUpdater::FlushFile() {
  try {
    file_->Flush();
  } catch (const SetupError& e) {
    throw PackageWriteError(e.what());
  }
}

void PackageUpdater::BeginChanges() {
  if (!file_) throw SetupError("No package is open");
  if (info_.Password.size() > kMaxPackagePasswordLength)
    throw SetupError("The password of " + path_ + " is longer than " + std::to_string(kMaxPackagePasswordLength) +
                     " characters: the package could not be opened again");
  if (!PackagePasswordStorable(info_))
    throw SetupError("The password of " + path_ + " cannot be stored in a trailer that reads back");
  backup_ = {};
  backup_.OldLength = old_length_;
  backup_.CutPosition = cut_;
  backup_.Tail = file_->ReadVector(cut_, static_cast<size_t>(old_length_ - cut_));
  if (backup_.Tail.size() != old_length_ - cut_ || !TakeCutWindow(*file_, backup_))
    throw SetupError("Cannot read the directory of " + path_);
  try {
    WriteTailBackup(*host_.Files, path_, backup_);
  } catch (const SetupError& e) {
    host_.Files->RemoveFile(TailBackupPath(path_));
    throw PackageWriteError(e.what());
  }
  // From here on the side file holds the only copy of the old tail.
  cut_done_ = true;
  try {
    file_->Truncate(cut_);
  } catch (const SetupError& e) {
    throw PackageWriteError(e.what());
  }
  append_ = cut_;
}

std::optional<std::vector<uint8_t>> PackageUpdater::BuildStored(SetupEntrySource& setup, size_t index, uint8_t& kind) {
  std::string name = setup.EntryName(index);
  std::vector<uint8_t> data;
  if (setup.EntryOrigSize(index) != 0) {
    auto loaded = setup.LoadEntry(index);
    if (!loaded) throw SetupError("Cannot read " + name + " from the setup archive");
    data = std::move(*loaded);
  }
  if (EndsWithWav(name)) {
    SoundEntryResult sound = BuildSoundEntry(name, data);
    if (!sound.Ok) return std::nullopt;
    kind = kSoundEntryKind;
    return std::move(sound.Bytes);
  }
  std::vector<uint8_t> stored = PackageDeflate(data);
  ScrambleHead(stored);
  kind = kZlibEntryKind;
  return stored;
}

bool PackageUpdater::AddFromSetup(SetupEntrySource& setup, size_t index) {
  if (!cut_done_) throw SetupError("The package is not ready for changes");
  uint8_t kind = 0;
  auto stored = BuildStored(setup, index, kind);
  if (!stored) {
    ++stats_.Skipped;
    return false;
  }
  std::string name = RecordName(setup.EntryName(index));
  uint32_t origSize = setup.EntryOrigSize(index);
  auto found = index_.find(CodePageLower(name));
  if (found != index_.end()) {
    const PackageEntry& old = *table_[found->second];
    if (old.StoredSize == stored->size() && old.OrigSize == origSize) {
      auto bytes = file_->ReadVector(old.DataOffset, old.StoredSize);
      if (bytes.size() == stored->size() && Crc32(bytes) == Crc32(*stored)) {
        ++stats_.Unchanged;
        return false;
      }
    }
  }
  // Offsets and sizes are 32-bit in the directory.
  if (stored->size() > UINT32_MAX || append_ + stored->size() > UINT32_MAX)
    throw SetupError(path_ + " cannot grow past 4 GiB");
  Write(append_, *stored);

  PackageEntry e;
  e.Marker = kPackageEntryMarker;
  e.Kind = kind;
  e.FileDate = host_.Today ? host_.Today() : DosToday();
  e.StoredSize = static_cast<uint32_t>(stored->size());
  e.OrigSize = origSize;
  e.DataOffset = static_cast<uint32_t>(append_);
  e.Name = name;
  append_ += stored->size();
  ++stats_.Written;
  stats_.BytesWritten += stored->size();
  if (found != index_.end()) {
    // The record keeps the letter case it had and moves to the end.
    e.Name = table_[found->second]->Name;
    table_[found->second].reset();
    index_.erase(found);
  }
  AddRecord(std::move(e));
  return true;
}

void PackageUpdater::SavePackage() {
  if (!cut_done_) throw SetupError("The package is not ready for changes");
  std::vector<PackageEntry> entries = Entries();
  // Written back as read; zero when the package had no such tag.
  uint8_t reserved = trailer_.Rkp3Tag[0] == 'R' ? trailer_.Rkp3Tag[5] : 0;
  // Fresh key parameters for every save, drawn again while the enciphered
  // password would make the reader find another trailer.
  std::vector<uint8_t> tail =
      BuildPackageTail(entries, info_, reserved, [this] { return KeyParam(); }, &stats_.KeyParam1,
                       &stats_.KeyParam2);
  Write(append_, tail);
  FlushFile();
  // The new tail is on disk: the update is done, whatever becomes of the
  // side file.
  cut_done_ = false;
  std::string side = TailBackupPath(path_);
  if (!host_.Files->RemoveFile(side)) {
    stats_.SideFileLeft = true;
    bool marked = MarkTailBackupFinished(*host_.Files, path_);
    Warn("The update of " + path_ + " is complete, but " + side + " could not be deleted" +
         (marked ? "; it is marked as finished and will not be used." : "; delete it by hand."));
  }
  Close();
}

bool PackageUpdater::Abandon() {
  bool restored = true;
  if (file_ && cut_done_) {
    try {
      RestoreTail(*file_, backup_);
      host_.Files->RemoveFile(TailBackupPath(path_));
    } catch (const SetupError&) {
      restored = false;
    }
  }
  cut_done_ = false;
  Close();
  return restored;
}

void PackageUpdater::Close() { file_.reset(); }

// ---- Commands -------------------------------------------------------------

void PackageUpdater::RunGuarded(const std::function<void()>& work) {
  ScopeGuard abandon([this] { Abandon(); });
  try {
    work();
  } catch (const PackageWriteError&) {
    abandon.Dismiss();
    if (Abandon())
      Fatal("Unable to write " + path_ + ", the disk may be full. The package was left as it was; free some " +
            "disk space and try again.");
    Fatal("Unable to write " + path_ + ", the disk may be full. The package could not be put back yet; it is " +
          "put back the next time this setup runs.");
  }
  abandon.Dismiss();
}

void PackageUpdater::UpdatePackage(SetupEntrySource& setup, uint16_t group, const std::string& installDir,
                               const std::string& packageFile, const std::string& password) {
  package_name_ = packageFile;
  OpenPackage(JoinPath(installDir, packageFile));
  if (info_.HasPassword) {
    if (password != info_.Password) {
      Close();
      Fatal("Error Incorrect Password\rFile: " + packageFile);
    }
  } else {
    info_.Password = password;
    info_.HasPassword = true;
  }
  RunGuarded([&] {
    BeginChanges();
    std::vector<size_t> indexes = setup.GroupEntries(group);
    size_t total = indexes.size();
    size_t processed = 0;
    size_t shownPercent = 0;
    auto progress = [&] {
      ShowStatus(kTextProcessingFiles, {{"<%RKPNAME%>", packageFile},
                                          {"<%FNUM%>", std::to_string(processed)},
                                          {"<%FTOTAL%>", std::to_string(total)}});
    };
    progress();
    for (size_t index : indexes) {
      progress();
      AddFromSetup(setup, index);
      size_t percent = processed * 100 / total;
      bool show = percent > shownPercent;
      if (show) shownPercent = percent;
      if (host_.Progress) host_.Progress->StepGauge(show);
      ++processed;
    }
    ShowStatus(kTextWritingArchiveHeader, {{"<%RKPNAME%>", packageFile}});
    SavePackage();
  });
}

void PackageUpdater::SetOfficial(const std::string& installDir, const std::string& packageFile,
                             const std::string& accessCode, const std::string& flagText) {
  if (AsciiLowerCopy(accessCode) != kPackageAccessCode) return;
  package_name_ = packageFile;
  OpenPackage(JoinPath(installDir, packageFile));
  info_.Official = IsOfficialFlag(flagText);
  RunGuarded([&] {
    BeginChanges();
    SavePackage();
  });
}

void PackageUpdater::DuplicateEntry(const std::string& installDir, const std::string& packageFile,
                                const std::string& existingName, const std::string& newName) {
  OpenPackage(JoinPath(installDir, packageFile));
  const PackageEntry* source = FindEntry(existingName);
  if (!source) {
    Close();
    return;
  }
  PackageEntry src = *source;
  RunGuarded([&] {
    BeginChanges();
    auto found = index_.find(CodePageLower(RecordName(newName)));
    if (found == index_.end()) {
      PackageEntry e;
      e.Name = RecordName(CodePageLower(newName));
      e.DataOffset = src.DataOffset;
      e.OrigSize = src.OrigSize;
      e.StoredSize = src.StoredSize;
      e.FileDate = src.FileDate;
      e.Kind = src.Kind;
      e.Marker = src.Marker;
      AddRecord(std::move(e));
    } else {
      // An existing entry of that name keeps its own data; only an entry that
      // already shares the data takes the source's date, kind and marker.
      PackageEntry& dst = *table_[found->second];
      if (dst.DataOffset == src.DataOffset && dst.OrigSize == src.OrigSize && dst.StoredSize == src.StoredSize) {
        dst.FileDate = src.FileDate;
        dst.Kind = src.Kind;
        dst.Marker = src.Marker;
      }
    }
    SavePackage();
  });
}

}  // namespace ferry
