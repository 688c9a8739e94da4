// The one folder of a run for everything the stub writes outside the install
// folder (the uninstaller while it is built, the finishing program, the
// removal copy). A setup usually runs elevated while programs of the same
// user run beside it at normal rights and can write the temporary folder: a
// file at a name they can predict could be a link they planted, or be
// swapped between its writing and its start. So the folder is created new
// under a random name, open only to the administrators and the system when
// the process is elevated (to its user otherwise), held open so that it can
// be neither renamed nor replaced while the run uses it, and removed at the
// end; a folder a killed run left is removed at the next start.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "base/system_path.h"

namespace ferry {

// "ferry-run-" and 16 hex digits, in the temporary folder.
inline constexpr char kPrivateFolderPrefix[] = "ferry-run-";

class PrivateFolder {
 public:
  // Nothing is made until the folder is first asked for.
  PrivateFolder() = default;
  // What the folder holds goes with it, unless it was handed over.
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // The folder with its trailing backslash, created on first use; empty
  // when it cannot be created (then nothing is written outside the install
  // folder). Wide: the temporary folder may hold any letters.
  NativePath Folder();
  // A new file in the folder, written whole. Its path, or an empty one when
  // the name was taken or the file could not be written.
  NativePath WriteNewFile(const std::wstring& name, std::span<const uint8_t> data);
  // Keeps a file of the folder from being written or deleted by anyone
  // until the folder goes; it can still be read and started. Before a
  // program is started from it.
  bool HoldAgainstWrites(const NativePath& path);
  // An inheritable handle of the folder for a process that takes it over
  // (the removal copy): the folder is then left for that process to remove.
  HANDLE HandOver();

 private:
  bool Create();

  std::mutex mutex_;
  bool tried_ = false;
  bool handed_over_ = false;
  std::wstring path_;
  HANDLE folder_ = INVALID_HANDLE_VALUE;
  std::vector<HANDLE> held_;
};

// Folders of earlier runs in the temporary folder that no process holds any
// more (a run that was killed): removed with their files. A folder that is
// in use, is a link, or holds a folder is left alone.
void RemoveStalePrivateFolders();

// Whether this process runs with an elevated token.
bool ProcessIsElevated();

// The descriptor the folder is created with, as security descriptor text:
// owner implied, the access list protected (nothing inherited from the
// temporary folder), full access for the administrators and the system
// when elevated, for the user (userSid, "S-1-5-21-...") and the system
// otherwise, each inherited by the folder's files.
std::wstring PrivateFolderDescriptorText(bool elevated, const std::wstring& userSid);
// This process's user as SID text; "" when it cannot be read.
std::wstring ProcessUserSid();

}  // namespace ferry
