#include "formats/package/package_storage.h"

#include <algorithm>
#include <cstring>

#include "formats/pak/crc32.h"
#include "formats/package/package_format.h"
#include "base/file_system.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/setup_error.h"

namespace ferry {

namespace {

constexpr char kBackupMagic[] = "FRKPTAL2";
constexpr char kFinishedMagic[] = "FRKPDONE";
constexpr char kFirstLayoutMagic[] = "FRKPTAIL";  // no window fields
constexpr size_t kBackupFixed = 8 + 8 + 8 + 4 + 4 + 4;
constexpr size_t kFirstLayoutFixed = 8 + 8 + 8 + 4;

}  // namespace

std::string TailBackupPath(const std::string& packagePath) { return packagePath + ".undo"; }

bool TakeCutWindow(RandomAccessFile& package, PackageTailBackup& backup) {
  uint64_t length = std::min<uint64_t>(backup.CutPosition, kCutWindowMax);
  auto bytes = package.ReadVector(backup.CutPosition - length, static_cast<size_t>(length));
  if (bytes.size() != length) return false;
  backup.HasWindow = true;
  backup.WindowLength = static_cast<uint32_t>(length);
  backup.WindowCrc = Crc32(bytes);
  return true;
}

std::vector<uint8_t> EncodeTailBackup(const PackageTailBackup& backup) {
  ByteWriter w;
  w.String(std::string_view(kBackupMagic, 8));
  w.U64(backup.OldLength);
  w.U64(backup.CutPosition);
  w.U32(backup.WindowLength);
  w.U32(backup.WindowCrc);
  w.U32(static_cast<uint32_t>(backup.Tail.size()));
  w.Bytes(backup.Tail);
  w.U32(Crc32(w.Data()));
  return w.Take();
}

bool DecodeTailBackup(std::span<const uint8_t> bytes, PackageTailBackup& out) {
  out = {};
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kFinishedMagic, 8) == 0) {
    out.Finished = true;
    return true;
  }
  bool firstLayout = bytes.size() >= 8 && std::memcmp(bytes.data(), kFirstLayoutMagic, 8) == 0;
  if (!firstLayout && (bytes.size() < 8 || std::memcmp(bytes.data(), kBackupMagic, 8) != 0)) return false;
  size_t fixed = firstLayout ? kFirstLayoutFixed : kBackupFixed;
  if (bytes.size() < fixed + 4) return false;
  ByteReader r(bytes);
  r.Skip(8);
  out.OldLength = r.U64();
  out.CutPosition = r.U64();
  if (!firstLayout) {
    out.HasWindow = true;
    out.WindowLength = r.U32();
    out.WindowCrc = r.U32();
    if (out.WindowLength > kCutWindowMax || out.WindowLength > out.CutPosition) return false;
  }
  uint32_t length = r.U32();
  if (length != bytes.size() - fixed - 4) return false;
  if (out.CutPosition > out.OldLength || out.OldLength - out.CutPosition != length) return false;
  auto tail = r.Bytes(length);
  uint32_t crc = r.U32();
  if (r.Failed() || crc != Crc32(bytes.first(bytes.size() - 4))) return false;
  out.Tail.assign(tail.begin(), tail.end());
  return true;
}

void WriteTailBackup(FileSystem& fs, const std::string& packagePath, const PackageTailBackup& backup) {
  std::string path = TailBackupPath(packagePath);
  auto file = fs.Open(path, FileMode::kCreate);
  if (!file) throw SetupError("Cannot create " + path);
  file->WriteAt(0, EncodeTailBackup(backup));
  file->Flush();
}

bool MarkTailBackupFinished(FileSystem& fs, const std::string& packagePath) {
  try {
    auto file = fs.Open(TailBackupPath(packagePath), FileMode::kReadWriteExclusive);
    if (!file) return false;
    file->WriteAt(0, std::span(reinterpret_cast<const uint8_t*>(kFinishedMagic), 8));
    file->Flush();
    return true;
  } catch (const SetupError&) {
    return false;
  }
}

void RestoreTail(RandomAccessFile& package, const PackageTailBackup& backup) {
  package.Truncate(backup.CutPosition);
  package.WriteAt(backup.CutPosition, backup.Tail);
  package.Flush();
  if (package.Size() != backup.OldLength) throw SetupError("Package length differs after putting it back");
}

namespace {

// Reads the side file of a package; Complete is false for a torn one.
struct SideFile {
  bool Present = false;
  bool Complete = false;
  PackageTailBackup Backup;
};

SideFile ReadSideFile(FileSystem& fs, const std::string& path) {
  SideFile out;
  if (!fs.FileExists(path) && !fs.DirectoryExists(path)) return out;
  out.Present = true;
  auto side = fs.Open(path, FileMode::kRead);
  // Unreadable is not torn: it may hold the only copy of the old tail.
  if (!side) throw SetupError("Cannot read " + path);
  uint64_t size = side->Size();
  // The tail holds a directory, a header and a trailer: far below 4 GiB.
  if (size < (uint64_t{1} << 32))
    out.Complete = DecodeTailBackup(side->ReadVector(0, static_cast<size_t>(size)), out.Backup);
  return out;
}

bool WindowUnchanged(RandomAccessFile& package, const PackageTailBackup& backup) {
  if (package.Size() < backup.CutPosition) return false;
  if (!backup.HasWindow) return true;
  PackageTailBackup now;
  now.CutPosition = backup.CutPosition;
  return TakeCutWindow(package, now) && now.WindowLength == backup.WindowLength && now.WindowCrc == backup.WindowCrc;
}

enum class PackageState { kAsBefore, kLeftByUpdate, kReadsOnItsOwn, kOther };

// What the package is, seen from the side file.
PackageState ClassifyPackage(RandomAccessFile& package, const PackageTailBackup& backup) {
  uint64_t size = package.Size();
  if (size == backup.OldLength &&
      package.ReadVector(backup.CutPosition, backup.Tail.size()) == backup.Tail)
    return PackageState::kAsBefore;
  if (ReadPackageTail(package).Status == PackageReadStatus::kOk) return PackageState::kReadsOnItsOwn;
  return WindowUnchanged(package, backup) ? PackageState::kLeftByUpdate : PackageState::kOther;
}

}  // namespace

TailRecovery RecoverInterruptedUpdate(FileSystem& fs, const std::string& packagePath,
                                      RandomAccessFile& package) {
  std::string path = TailBackupPath(packagePath);
  SideFile side = ReadSideFile(fs, path);
  if (!side.Present) return TailRecovery::kNone;
  const PackageTailBackup& backup = side.Backup;
  const bool complete = side.Complete;
  if (!complete) {
    fs.RemoveFile(path);
    return TailRecovery::kDiscarded;
  }
  if (backup.Finished) {
    fs.RemoveFile(path);
    return TailRecovery::kFinished;
  }
  // A side file left after the package is back (or was never cut) is
  // harmless: the next look finds the package as it was before again.
  switch (ClassifyPackage(package, backup)) {
    case PackageState::kAsBefore:
      fs.RemoveFile(path);
      return TailRecovery::kRestored;
    case PackageState::kReadsOnItsOwn:
      fs.RemoveFile(path);
      return TailRecovery::kStale;
    case PackageState::kOther:
      return TailRecovery::kMismatch;
    case PackageState::kLeftByUpdate:
      break;
  }
  RestoreTail(package, backup);
  fs.RemoveFile(path);
  return TailRecovery::kRestored;
}

TailRecovery RollBackUpdate(FileSystem& fs, const std::string& packagePath, RandomAccessFile& package) {
  std::string path = TailBackupPath(packagePath);
  SideFile side = ReadSideFile(fs, path);
  if (!side.Present) return TailRecovery::kNone;
  if (!side.Complete) {
    fs.RemoveFile(path);
    return TailRecovery::kDiscarded;
  }
  if (side.Backup.Finished || !WindowUnchanged(package, side.Backup)) return TailRecovery::kMismatch;
  RestoreTail(package, side.Backup);
  fs.RemoveFile(path);
  return TailRecovery::kRestored;
}

}  // namespace ferry
