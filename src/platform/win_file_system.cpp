#include "platform/win_file_system.h"

#include <windows.h>

#include "platform/win_text.h"

namespace ferry {

namespace {

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WinPath(path).c_str()); }

}  // namespace

std::unique_ptr<RandomAccessFile> WinFileSystem::Open(const std::string& path, FileMode mode) {
  return OpenDiskFile(WinPath(path), mode);
}

bool WinFileSystem::FileExists(const std::string& path) {
  DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WinFileSystem::DirectoryExists(const std::string& path) {
  DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WinFileSystem::IsReadOnly(const std::string& path) {
  DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool WinFileSystem::MakeWritable(const std::string& path) {
  return SetFileAttributesW(WinPath(path).c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool WinFileSystem::RemoveFile(const std::string& path) { return DeleteFileW(WinPath(path).c_str()) != 0; }

bool WinFileSystem::RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(WinPath(from).c_str(), WinPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool WinFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  return CopyFileW(WinPath(from).c_str(), WinPath(to).c_str(), failIfExists) != 0;
}

bool WinFileSystem::CreateDirectory(const std::string& path) {
  return CreateDirectoryW(WinPath(path).c_str(), nullptr) != 0;
}

bool WinFileSystem::RemoveDirectory(const std::string& path) {
  return RemoveDirectoryW(WinPath(path).c_str()) != 0;
}

std::vector<FoundFile> WinFileSystem::FindFiles(const std::string& pattern) {
  std::vector<FoundFile> out;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(WinPath(pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    FoundFile f;
    f.Name = WideToAnsi(name);
    f.IsDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    f.IsReadOnly = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    f.IsLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    f.Size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    out.push_back(std::move(f));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
}

WinFileSystem& WinFiles() {
  static WinFileSystem files;
  return files;
}

}  // namespace ferry
