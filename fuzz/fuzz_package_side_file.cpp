// The side file of an interrupted package update lies beside the product's
// package, so any bytes may be found there. Opening the package must reject
// damage without crashing, and must leave the package's bytes alone unless
// it reports having put an old tail back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../tests/formats/package/package_fakes.h"
#include "../tests/formats/package/package_test_util.h"
#include "formats/package/package_updater.h"
#include "base/setup_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::vector<uint8_t> package =
      ferry::test::PackageBuilder().Add("a.txt", "alpha").Add("b.txt", "beta beta").Rkp3({true, false, "pw"}, 3, 4);
  // The first byte picks the package the side file is found beside: as it
  // was, cut where its directory began (and some bytes appended), or cut
  // short.
  std::vector<uint8_t> bytes = package;
  ferry::MemoryFile whole(package);
  uint64_t cut = ferry::ReadPackageTail(whole).CutPosition;
  switch (data[0] % 3) {
    case 0: break;
    case 1: bytes.resize(cut + data[0] / 3); break;
    case 2: bytes.resize(data[0] / 3 % (cut + 1)); break;
  }
  ferry::test::MemoryPackageFileSystem fs;
  const std::string path = ".\\p.rkp";
  fs.Put(path, bytes);
  fs.Put(ferry::TailBackupPath(path), std::vector<uint8_t>(data + 1, data + size));
  ferry::PackageUpdaterHost host;
  host.Files = &fs;
  ferry::PackageUpdater sys(host);
  try {
    sys.OpenPackage(path);
  } catch (const ferry::SetupError&) {
  }
  if (sys.Stats().Recovery != ferry::TailRecovery::kRestored && fs.Get(path) != bytes) __builtin_trap();
  return 0;
}
