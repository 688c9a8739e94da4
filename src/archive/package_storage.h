// Where packages live: the few file-system calls the package system makes,
// and the side file that keeps a package's old tail while it is updated.
//
// An update cuts the package's directory, header and trailer off and appends
// after the entry data. Before the cut, the old tail (the bytes from the cut
// position to the old end) goes into a side file beside the package, flushed
// to disk; the side file is removed only once the new tail is written and
// flushed. Whenever a package is opened and its side file is there, the
// update before was interrupted and the package is put back from it first.
//
// Side file ("<package>.undo"):
//   "FRKPTAIL"  8 bytes
//   u64         old length of the package
//   u64         cut position
//   u32         tail length (old length - cut position)
//   tail bytes
//   u32         CRC-32 of everything before it
// A side file that is torn or damaged was never complete, so the package was
// never cut: it is simply removed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/random_access_file.h"

namespace ferry {

class PackageFileSystem {
 public:
  virtual ~PackageFileSystem() = default;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsReadOnly(const std::string& path) = 0;
  // Makes a read-only file writable; false when that failed.
  virtual bool MakeWritable(const std::string& path) = 0;
  // An existing file for reading and writing that nobody else may open
  // meanwhile; nullptr when it cannot be opened.
  virtual std::unique_ptr<RandomAccessFile> OpenForUpdate(const std::string& path) = 0;
  virtual std::unique_ptr<RandomAccessFile> OpenForReading(const std::string& path) = 0;
  // Creates or truncates a file; nullptr when it cannot be created.
  virtual std::unique_ptr<RandomAccessFile> Create(const std::string& path) = 0;
  virtual bool Remove(const std::string& path) = 0;
};

// The real file system, through std::filesystem and the C runtime.
std::unique_ptr<PackageFileSystem> MakeDiskPackageFileSystem();

struct PackageTailBackup {
  uint64_t OldLength = 0;
  uint64_t CutPosition = 0;
  std::vector<uint8_t> Tail;
};

std::string TailBackupPath(const std::string& packagePath);
std::vector<uint8_t> EncodeTailBackup(const PackageTailBackup& backup);
// False for a torn or damaged side file.
bool DecodeTailBackup(std::span<const uint8_t> bytes, PackageTailBackup& out);

// Writes the side file and flushes it. Throws SetupError when it cannot.
void WriteTailBackup(PackageFileSystem& fs, const std::string& packagePath, const PackageTailBackup& backup);
// Puts the old tail back: the package is cut at the cut position and the old
// bytes written after it, so it is again exactly as long as before. Throws
// SetupError when the package cannot be written.
void RestoreTail(RandomAccessFile& package, const PackageTailBackup& backup);

enum class TailRecovery {
  kNone,       // no side file
  kDiscarded,  // a torn side file: the package had not been cut
  kRestored,   // the package was put back as it was before the interrupted update
};

// Run on every package before it is read: restores from a complete side file
// and removes it. Throws SetupError when the package cannot be written back
// (the side file then stays for the next attempt).
TailRecovery RecoverInterruptedUpdate(PackageFileSystem& fs, const std::string& packagePath,
                                      RandomAccessFile& package);

}  // namespace ferry
