#include "platform/win_file_system.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/setup_error.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WinPath(path).c_str()); }

// A file written through its handle, in order: the file pointer is moved
// only when a read or write does not follow the last one (an OVERLAPPED
// offset would cost Wine a server call per write).
class WinFile : public RandomAccessFile {
 public:
  WinFile(HANDLE h, std::string name) : h_(h), name_(std::move(name)) {}
  ~WinFile() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }

  HANDLE Handle() const { return h_; }
  // The handle is closed; the object stays, unusable.
  void Close() {
    CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

  uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h_, &size)) throw SetupError("Cannot read the size of " + name_);
    return static_cast<uint64_t>(size.QuadPart);
  }

  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (!SeekTo(offset)) return 0;
    size_t done = 0;
    while (done < out.size()) {
      DWORD n = 0;
      DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, kMaxIo));
      if (!ReadFile(h_, out.data() + done, want, &n, nullptr)) pos_ = kUnknown;
      if (n == 0) break;
      done += n;
      pos_ += n;
    }
    return done;
  }

  void WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    if (data.empty()) return;
    if (!SeekTo(offset)) throw SetupError("Cannot write " + name_ + ": " + SystemErrorText(GetLastError()));
    size_t done = 0;
    while (done < data.size()) {
      DWORD n = 0;
      DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, kMaxIo));
      if (!WriteFile(h_, data.data() + done, want, &n, nullptr) || n == 0) {
        pos_ = kUnknown;
        throw SetupError("Cannot write " + name_ + ": " + SystemErrorText(GetLastError()));
      }
      done += n;
      pos_ += n;
    }
  }

  void Truncate(uint64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(h_, FileEndOfFileInfo, &end, sizeof end))
      throw SetupError("Cannot set the length of " + name_);
  }

  void Flush() override { FlushFileBuffers(h_); }

 private:
  static constexpr size_t kMaxIo = 1u << 30;
  static constexpr uint64_t kUnknown = ~uint64_t{0};

  bool SeekTo(uint64_t offset) {
    if (offset == pos_) return true;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h_, to, nullptr, FILE_BEGIN)) {
      pos_ = kUnknown;
      return false;
    }
    pos_ = offset;
    return true;
  }

  HANDLE h_;
  uint64_t pos_ = 0;
  std::string name_;
};

// Created for reading and writing, others may read it. CREATE_NEW fails on
// any name that exists, a link included, so nothing planted there is
// followed.
HANDLE CreateForWriting(const std::string& path, DWORD extraAccess, DWORD disposition) {
  return CreateFileW(WinPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | extraAccess, FILE_SHARE_READ, nullptr,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The scratch file of CreateStaged, moved over its target by its handle;
// with no target, a file of CreateFresh, already at its name.
class WinStagedFile : public StagedFile {
 public:
  WinStagedFile(HANDLE h, const std::string& scratch, std::string target)
      : file_(h, scratch), target_(std::move(target)) {}
  ~WinStagedFile() override {
    if (file_.Handle() == INVALID_HANDLE_VALUE) return;
    FILE_DISPOSITION_INFO gone{TRUE};
    SetFileInformationByHandle(file_.Handle(), FileDispositionInfo, &gone, sizeof gone);
  }

  RandomAccessFile& File() override { return file_; }

  bool Place() override {
    if (target_.empty()) {
      file_.Close();
      return true;
    }
    const std::wstring to = WinPath(target_);
    const size_t bytes = to.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::copy(to.begin(), to.end(), info->FileName);  // the terminator comes from the zeroed buffer
    if (!SetFileInformationByHandle(file_.Handle(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
      return false;
    file_.Close();
    return true;
  }

 private:
  WinFile file_;
  std::string target_;
};

}  // namespace

std::unique_ptr<RandomAccessFile> WinFileSystem::Open(const std::string& path, FileMode mode) {
  if (!IsCreateMode(mode)) return OpenDiskFile(WinPath(path), mode);
  // Through the handle: a write is one system call, where the C library
  // also seeks and reads back.
  HANDLE h = CreateForWriting(path, 0, mode == FileMode::kCreateNew ? CREATE_NEW : CREATE_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinFile>(h, path);
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

std::unique_ptr<StagedFile> WinFileSystem::CreateStaged(const std::string& scratch, const std::string& target) {
  HANDLE h = CreateForWriting(scratch, DELETE, CREATE_NEW);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinStagedFile>(h, scratch, target);
}

std::unique_ptr<StagedFile> WinFileSystem::CreateFresh(const std::string& path) {
  // With the right to delete: a file not placed goes through its handle.
  HANDLE h = CreateForWriting(path, DELETE, CREATE_NEW);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinStagedFile>(h, path, std::string());
}

WinFileSystem& WinFiles() {
  static WinFileSystem files;
  return files;
}

}  // namespace ferry
