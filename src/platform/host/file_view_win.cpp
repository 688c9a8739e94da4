#include <windows.h>
#include <io.h>

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

}  // namespace

// A view starts on the allocation granularity: it may begin some bytes
// before the part asked for. A part past the file's end is refused by
// MapViewOfFile.
std::unique_ptr<FileView> MapFileView(int fd, uint64_t offset, size_t length) {
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (length == 0 || file == INVALID_HANDLE_VALUE) return nullptr;
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
