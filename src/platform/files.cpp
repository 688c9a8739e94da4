#include "platform/files.h"

#include <windows.h>

#include "base/path_text.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "platform/win_file_system.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (Ok()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Get() const { return h_; }

 private:
  HANDLE h_;
};


}  // namespace

uint32_t FileAttributesOf(const std::string& path) {
  return GetFileAttributesW(WinPath(path).c_str());
}

bool SetFileAttributesOf(const std::string& path, uint32_t attributes) {
  return SetFileAttributesW(WinPath(path).c_str(), attributes) != 0;
}

bool FileExists(const std::string& path) { return WinFiles().FileExists(path); }
bool DirectoryExists(const std::string& path) { return WinFiles().DirectoryExists(path); }
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  return WinFiles().CopyFile(from, to, failIfExists);
}
bool DeleteFileAt(const std::string& path) { return WinFiles().RemoveFile(path); }
bool CreateDirectoryAt(const std::string& path) { return WinFiles().CreateDirectory(path); }
bool RemoveDirectoryAt(const std::string& path) { return WinFiles().RemoveDirectory(path); }

std::vector<std::string> LogicalDriveRoots(size_t bufferChars) {
  std::wstring buffer(bufferChars, L'\0');
  DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(bufferChars), buffer.data());
  // A result above the buffer size is the size the list would need.
  if (n > bufferChars) throw SetupError(SystemErrorText(ERROR_OUTOFMEMORY));
  std::vector<std::string> roots;
  size_t pos = 0;
  while (pos < n && buffer[pos] != L'\0') {
    size_t end = buffer.find(L'\0', pos);
    if (end == std::wstring::npos || end > n) end = n;
    roots.push_back(WideToAnsi(std::wstring_view(buffer).substr(pos, end - pos)));
    pos = end + 1;
  }
  return roots;
}

DriveType DriveTypeOf(const std::string& root) {
  switch (GetDriveTypeW(AnsiToWide(root).c_str())) {
    case DRIVE_NO_ROOT_DIR: return DriveType::kNoRootDir;
    case DRIVE_REMOVABLE: return DriveType::kRemovable;
    case DRIVE_FIXED: return DriveType::kFixed;
    case DRIVE_REMOTE: return DriveType::kRemote;
    case DRIVE_CDROM: return DriveType::kCdRom;
    case DRIVE_RAMDISK: return DriveType::kRamDisk;
    default: return DriveType::kUnknown;
  }
}

std::optional<uint64_t> FreeDiskBytes(const std::string& path) {
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExW(WinPath(path).c_str(), &available, &total, &free)) return std::nullopt;
  return available.QuadPart;
}

std::wstring TempFolderWide() {
  wchar_t buffer[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
  if (n == 0 || n > MAX_PATH + 1) return {};
  return std::wstring(buffer, n);
}

std::string TempFolder() { return WideToAnsi(TempFolderWide()); }

NativePath OwnProgramPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  // A name that fills the buffer may be cut short: ask again with more room.
  while (buffer.size() <= 0x10000) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::string FindCdDrive() {
  for (const std::string& root : LogicalDriveRoots())
    if (DriveTypeOf(root) == DriveType::kCdRom) return root;
  return {};
}

std::string ResolveCdDrivePath(const std::string& path) {
  static constexpr std::string_view kVar = "$CDDRIVE";
  std::string lower = AsciiLowerCopy(path);
  if (lower.find("$cddrive") == std::string::npos) return path;
  for (const std::string& root : LogicalDriveRoots()) {
    if (DriveTypeOf(root) != DriveType::kCdRom) continue;
    // Replace every occurrence, comparing without case; the root itself
    // cannot hold the variable, so one left-to-right pass is enough.
    std::string candidate;
    size_t pos = 0;
    for (;;) {
      size_t hit = lower.find("$cddrive", pos);
      if (hit == std::string::npos) break;
      candidate.append(path, pos, hit - pos);
      candidate += root;
      pos = hit + kVar.size();
    }
    candidate.append(path, pos, std::string::npos);
    if (FileAttributesOf(candidate) != kInvalidFileAttributes) return candidate;
  }
  return path;
}

bool WriteFileCreatingDirs(const std::string& path, std::span<const uint8_t> data,
                           const DirectoryCreatedFn& created) {
  const std::string folder = FolderOf(path, "\\");
  if (!folder.empty()) ForceDirectories(WinFiles(), folder, created);
  Handle h(CreateFileW(WinPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Ok()) return false;
  size_t done = 0;
  while (done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h.Get(), data.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  std::wstring wide = WinPath(path);
  uint64_t length = 0;
  {
    Handle probe(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.Ok()) throw SetupError("Cannot open file \"" + path + "\". " + SystemErrorText(GetLastError()));
    LARGE_INTEGER size;
    if (!GetFileSizeEx(probe.Get(), &size)) throw SetupError("Cannot read the length of " + path);
    length = static_cast<uint64_t>(size.QuadPart);
  }
  if (length > 0x7FFFFFFFu) throw SetupError("File too large to load: " + path);
  Handle h(CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Ok()) return std::nullopt;
  std::vector<uint8_t> data(static_cast<size_t>(length));
  size_t done = 0;
  while (done < data.size()) {
    DWORD got = 0;
    if (!ReadFile(h.Get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got, nullptr) || got == 0)
      break;
    done += got;
  }
  data.resize(done);
  return data;
}

}  // namespace ferry
