#include <windows.h>
#include <io.h>

#include <string>

#include "base/file_view.h"

namespace ferry {

namespace {

class MappedView : public FileView {
 public:
  MappedView(void* view, size_t lead, size_t length) : view_(view), lead_(lead), length_(length) {}
  ~MappedView() override { UnmapViewOfFile(view_); }
  std::span<const uint8_t> Bytes() const override { return {static_cast<const uint8_t*>(view_) + lead_, length_}; }

 private:
  void* view_;
  size_t lead_, length_;
};

// A read error in a mapped page (a share that went away, a pulled stick, a
// bad sector) arrives as an exception at whatever instruction touched it,
// deep in the decoder, where it cannot be turned into a failure of the run.
// So only files on a local fixed disk are mapped; the others are read with
// ReadFile, whose errors come back as results.
bool OnLocalFixedDrive(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
  if (n >= path.size()) {  // a long path: asked again with room for it
    path.resize(n + 1);
    n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
  }
  // "\\?\C:\..." for a drive, "\\?\UNC\..." for a share.
  if (n < 7 || n >= path.size() || path[5] != L':') return false;
  const wchar_t root[4] = {path[4], L':', L'\\', 0};
  const UINT type = GetDriveTypeW(root);
  return type == DRIVE_FIXED || type == DRIVE_RAMDISK;
}

}  // namespace

// A view starts on the allocation granularity: it may begin some bytes
// before the part asked for. A part past the file's end is refused by
// MapViewOfFile.
std::unique_ptr<FileView> MapFileView(int fd, uint64_t offset, size_t length) {
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (length == 0 || file == INVALID_HANDLE_VALUE || !OnLocalFixedDrive(file)) return nullptr;
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return nullptr;
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  const uint64_t start = offset - offset % info.dwAllocationGranularity;
  const size_t lead = static_cast<size_t>(offset - start);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(start >> 32), static_cast<DWORD>(start),
                             lead + length);
  CloseHandle(mapping);  // the view holds the mapping open
  if (!view) return nullptr;
  return std::make_unique<MappedView>(view, lead, length);
}

}  // namespace ferry
