// Opens the input as a VFS archive (whole tree), lists and reads every file,
// then writes two files into it and checks it: a damaged archive must be
// refused with a SetupError, never crash or loop.
#include <cstddef>
#include <cstdint>

#include "base/setup_error.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_check.h"
#include "base/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ferry;
  // The first byte picks a side file: none, or the rest of the input's tail.
  MemoryFileSystem fs;
  const std::string path = "a.vfs";
  fs.Put(path, std::vector<uint8_t>(data, data + size));
  if (size > 64 && (data[0] & 1)) fs.Put("a.ht", std::vector<uint8_t>(data + size - 64, data + size));
  try {
    VfsFile f(fs);
    f.SetToday(0x58A10000);
    f.OpenArchive(path, (data[0] & 2) != 0);
    const VfsTree& t = f.Tree();
    for (size_t i = 0; i < t.SlotCount(); ++i) {
      if (!t.InUse(int32_t(i))) continue;
      const VfsDirRecord& rec = *t.Node(int32_t(i)).Info;
      if (!(rec.Flags & kVfsFile) || rec.StoredSize > (1u << 20)) continue;
      auto content = f.ReadChain(rec);
      if ((rec.Flags & kVfsCompressed) && content && rec.UnpackedSize < (1u << 22)) {
        try {
          DecompressChunks(content->Bytes(), rec.UnpackedSize);
        } catch (const SetupError&) {
        }
      }
    }
    const uint8_t small[] = {'x', 'y', 'z'};
    f.Tree().UpdateFile("dir\\sub\\new.txt", small, sizeof small);
    f.Tree().UpdateFile("dir\\other.txt", nullptr, 0);
    f.FlushArchive();
    f.CloseArchive();
    CheckVfsArchive(fs, path);
  } catch (const SetupError&) {
  }
  return 0;
}
