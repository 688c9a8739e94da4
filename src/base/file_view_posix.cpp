#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/file_view.h"

namespace ferry {

namespace {

class MappedView : public FileView {
 public:
  MappedView(void* map, size_t mapLength, size_t lead, size_t length)
      : map_(map), map_length_(mapLength), lead_(lead), length_(length) {}
  ~MappedView() override { munmap(map_, map_length_); }
  std::span<const uint8_t> Bytes() const override { return {static_cast<const uint8_t*>(map_) + lead_, length_}; }

 private:
  void* map_;
  size_t map_length_, lead_, length_;
};

}  // namespace

// A mapping starts on a page: the view may begin some bytes before the part.
std::unique_ptr<FileView> MapFileView(int fd, uint64_t offset, size_t length) {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  struct stat info{};
  if (length == 0 || fstat(fd, &info) != 0) return nullptr;
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (offset > size || length > size - offset) return nullptr;
  const uint64_t start = offset - offset % page;
  const size_t lead = static_cast<size_t>(offset - start);
  void* map = mmap(nullptr, lead + length, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(start));
  if (map == MAP_FAILED) return nullptr;
  return std::make_unique<MappedView>(map, lead + length, lead, length);
}

}  // namespace ferry
