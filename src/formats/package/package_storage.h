// The side file that keeps a package's old tail while it is updated.
//
// An update cuts the package's directory, header and trailer off and appends
// after the entry data. Before the cut, the old tail (the bytes from the cut
// position to the old end) goes into a side file beside the package, flushed
// to disk; the side file is removed only once the new tail is written and
// flushed. Whenever a package is opened and its side file is there, the
// update before was interrupted and the package is put back from it first.
//
// Side file ("<package>.undo"):
//   "FRKPTAL2"  8 bytes ("FRKPDONE" once marked finished)
//   u64         old length of the package
//   u64         cut position
//   u32         window length: the bytes just before the cut, at most 64 KiB
//   u32         CRC-32 of those bytes
//   u32         tail length (old length - cut position)
//   tail bytes
//   u32         CRC-32 of everything before it, pending magic included
// A side file that is torn or damaged was never complete, so the package was
// never cut: it is simply removed. A side file marked finished belongs to an
// update whose new tail reached the disk: it is removed, never played back.
// (Side files of the first layout, magic "FRKPTAIL", lack the two window
// fields and are still read.)
//
// The side file is put back only onto the package an interrupted update
// leaves behind: at least as long as the cut position, the window before the
// cut unchanged, and no readable directory at its end (or, a no-op, exactly
// the old tail still in place). A package that reads on its own was finished
// or replaced since: it is left alone and the stale side file removed. Any
// other package (shorter, or changed before the cut) is left alone with its
// side file kept.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/random_access_file.h"

namespace ferry {

class FileSystem;

inline constexpr uint32_t kCutWindowMax = 64 * 1024;

struct PackageTailBackup {
  uint64_t OldLength = 0;
  uint64_t CutPosition = 0;
  std::vector<uint8_t> Tail;
  // The bytes just before the cut, which an update never changes.
  bool HasWindow = false;  // false for side files of the first layout
  uint32_t WindowLength = 0;
  uint32_t WindowCrc = 0;
  // Marked finished: the update it belonged to completed.
  bool Finished = false;
};

// Fills the window fields from the package (reads at most kCutWindowMax
// bytes). False when the bytes cannot be read.
bool TakeCutWindow(RandomAccessFile& package, PackageTailBackup& backup);

std::string TailBackupPath(const std::string& packagePath);
std::vector<uint8_t> EncodeTailBackup(const PackageTailBackup& backup);
// False for a torn or damaged side file. A side file marked finished gives
// true with out.Finished set and nothing else filled in.
bool DecodeTailBackup(std::span<const uint8_t> bytes, PackageTailBackup& out);

// Writes the side file and flushes it. Throws SetupError when it cannot.
void WriteTailBackup(FileSystem& fs, const std::string& packagePath, const PackageTailBackup& backup);
// Marks the side file finished (its magic, flushed): for an update whose new
// tail is on disk but whose side file would not go. False when it cannot.
bool MarkTailBackupFinished(FileSystem& fs, const std::string& packagePath);
// Puts the old tail back: the package is cut at the cut position and the old
// bytes written after it, so it is again exactly as long as before. Throws
// SetupError when the package cannot be written.
void RestoreTail(RandomAccessFile& package, const PackageTailBackup& backup);

enum class TailRecovery {
  kNone,       // no side file
  kDiscarded,  // a torn side file: the package had not been cut
  kRestored,   // the package is again as it was before the interrupted update
  kFinished,   // a side file marked finished: removed, the package untouched
  kStale,      // the package reads on its own: left alone, side file removed
  kMismatch,   // the package is not what the update left: both left alone
};

// Run on every package before it is read: puts back an interrupted update
// (see the top of this file) and removes the side file. Throws SetupError
// when the side file cannot be read or the package cannot be written back
// (the side file then stays for the next attempt).
TailRecovery RecoverInterruptedUpdate(FileSystem& fs, const std::string& packagePath,
                                      RandomAccessFile& package);

// Undoes the update the side file belongs to, finished or not (a setup run
// that failed after it): the package is cut back and the old tail written,
// provided the bytes before the cut are unchanged; the side file goes.
// kMismatch when the package was changed before the cut (both left alone).
TailRecovery RollBackUpdate(FileSystem& fs, const std::string& packagePath, RandomAccessFile& package);

}  // namespace ferry
