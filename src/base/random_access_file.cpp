#include "base/random_access_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/file_view.h"
#include "base/setup_error.h"
#include "base/system_path.h"

#ifdef _WIN32
#include <io.h>
#include <fcntl.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace ferry {

std::vector<uint8_t> RandomAccessFile::ReadVector(uint64_t offset, size_t n) {
  std::vector<uint8_t> out(n);
  out.resize(ReadAt(offset, out));
  return out;
}

std::unique_ptr<FileView> RandomAccessFile::View(uint64_t, size_t) { return nullptr; }

namespace {

class SpanView : public FileView {
 public:
  explicit SpanView(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  std::span<const uint8_t> Bytes() const override { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<FileView> MemoryFile::View(uint64_t offset, size_t length) {
  if (length == 0 || offset > data_.size() || length > data_.size() - offset) return nullptr;
  return std::make_unique<SpanView>(std::span<const uint8_t>(data_).subspan(static_cast<size_t>(offset), length));
}

size_t MemoryFile::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (offset >= data_.size()) return 0;
  size_t n = std::min<uint64_t>(out.size(), data_.size() - offset);
  std::memcpy(out.data(), data_.data() + offset, n);
  return n;
}

void MemoryFile::WriteAt(uint64_t offset, std::span<const uint8_t> data) {
  if (data.empty()) return;
  if (offset + data.size() > data_.size()) data_.resize(offset + data.size());
  std::memcpy(data_.data() + offset, data.data(), data.size());
}

void MemoryFile::Truncate(uint64_t size) { data_.resize(size); }

namespace {

// C stdio with 64-bit offsets: the same code on Linux and on Windows, where
// the wide-character open keeps non-ANSI paths working. A seek and the read
// after it are one step under the lock, so threads may share the file.
class DiskFile : public RandomAccessFile {
 public:
  DiskFile(std::FILE* f, NativePath path) : f_(f), path_(std::move(path)) {}
  ~DiskFile() override { std::fclose(f_); }

  uint64_t Size() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return EndOffset();
  }

  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (out.empty()) return 0;
    if (offset >= EndOffset()) return 0;
    SeekTo(static_cast<int64_t>(offset), SEEK_SET);
    return std::fread(out.data(), 1, out.size(), f_);
  }

  void WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (data.empty()) return;
    SeekTo(static_cast<int64_t>(offset), SEEK_SET);
    if (std::fwrite(data.data(), 1, data.size(), f_) != data.size() || std::fflush(f_) != 0)
      throw SetupError("Cannot write " + PathText(path_) + ": " + std::strerror(errno));
  }

  // Mapped beside the C library's buffer, which never sees it.
  std::unique_ptr<FileView> View(uint64_t offset, size_t length) override {
    std::lock_guard<std::mutex> lock(mutex_);
#ifdef _WIN32
    return MapFileView(_fileno(f_), offset, length);
#else
    return MapFileView(fileno(f_), offset, length);
#endif
  }

  void Truncate(uint64_t size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fflush(f_);
#ifdef _WIN32
    int rc = _chsize_s(_fileno(f_), static_cast<int64_t>(size));
#else
    int rc = ftruncate(fileno(f_), static_cast<off_t>(size));
#endif
    if (rc != 0) throw SetupError("Cannot set the length of " + PathText(path_));
  }

  void Flush() override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fflush(f_);
#ifdef _WIN32
    _commit(_fileno(f_));
#else
    fsync(fileno(f_));
#endif
  }

 private:
  uint64_t EndOffset() {
    SeekTo(0, SEEK_END);
    return Tell();
  }

  void SeekTo(int64_t offset, int whence) {
#ifdef _WIN32
    int rc = _fseeki64(f_, offset, whence);
#else
    int rc = fseeko(f_, static_cast<off_t>(offset), whence);
#endif
    if (rc != 0) throw SetupError("Cannot seek in " + PathText(path_));
  }

  uint64_t Tell() {
#ifdef _WIN32
    return static_cast<uint64_t>(_ftelli64(f_));
#else
    return static_cast<uint64_t>(ftello(f_));
#endif
  }

  std::mutex mutex_;
  std::FILE* f_;
  NativePath path_;
};

std::FILE* OpenStream(const NativePath& given, FileMode mode) {
#ifdef _WIN32
  const NativePath path = LongFormPath(given);
  switch (mode) {
    case FileMode::kRead: return _wfsopen(path.c_str(), L"rb", _SH_DENYNO);
    case FileMode::kReadWrite: return _wfsopen(path.c_str(), L"r+b", _SH_DENYWR);
    case FileMode::kReadWriteShared: return _wfsopen(path.c_str(), L"r+b", _SH_DENYNO);
    case FileMode::kReadWriteExclusive: return _wfsopen(path.c_str(), L"r+b", _SH_DENYRW);
    case FileMode::kCreate: return _wfsopen(path.c_str(), L"w+b", _SH_DENYWR);
    case FileMode::kCreateNew: {
      const int fd = _wsopen(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _SH_DENYWR, _S_IREAD | _S_IWRITE);
      if (fd < 0) return nullptr;
      std::FILE* f = _fdopen(fd, "w+b");
      if (!f) _close(fd);
      return f;
    }
  }
#else
  const NativePath& path = given;
  switch (mode) {
    case FileMode::kRead: return std::fopen(path.c_str(), "rb");
    case FileMode::kReadWrite:
    case FileMode::kReadWriteShared:
    case FileMode::kReadWriteExclusive: return std::fopen(path.c_str(), "r+b");
    case FileMode::kCreate: return std::fopen(path.c_str(), "w+b");
    case FileMode::kCreateNew: return std::fopen(path.c_str(), "w+bx");
  }
#endif
  return nullptr;
}

}  // namespace

std::unique_ptr<RandomAccessFile> OpenDiskFile(const NativePath& path, FileMode mode) {
  if (!IsCreateMode(mode) && KindOfPath(path) == PathKind::kFolder) return nullptr;
  std::FILE* f = OpenStream(path, mode);
  if (!f) return nullptr;
  return std::make_unique<DiskFile>(f, path);
}

std::vector<uint8_t> ReadFileBytes(const NativePath& path) {
  auto file = OpenDiskFile(path, FileMode::kRead);
  if (!file) throw SetupError("Cannot open " + PathText(path));
  uint64_t size = file->Size();
  if (size > SIZE_MAX) throw SetupError("File too large: " + PathText(path));
  auto data = file->ReadVector(0, static_cast<size_t>(size));
  if (data.size() != size) throw SetupError("Cannot read " + PathText(path));
  return data;
}

void WriteFileBytes(const NativePath& path, std::span<const uint8_t> data) {
  auto file = OpenDiskFile(path, FileMode::kCreate);
  if (!file) throw SetupError("Cannot create " + PathText(path));
  file->WriteAt(0, data);
}

}  // namespace ferry
