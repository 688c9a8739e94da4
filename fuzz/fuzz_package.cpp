// Package archives are the product's files, so any bytes may arrive: the
// tail reader, the entry unpacking, the whole-package check and an
// open-change-save cycle of the package system must reject damage, never
// crash or read out of bounds.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "../tests/formats/package/package_fakes.h"
#include "formats/package/package_check.h"
#include "formats/package/package_format.h"
#include "formats/package/package_updater.h"
#include "base/setup_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  ferry::MemoryFile file(bytes);
  ferry::PackageTail tail = ferry::ReadPackageTail(file);
  const ferry::PackageCheckReport check = ferry::CheckPackageArchive(file);
  // A tail the reader refuses is never passed by the check.
  if (tail.Status != ferry::PackageReadStatus::kOk && check.Ok()) __builtin_trap();
  for (const auto& e : tail.Entries) {
    if (uint64_t{e.DataOffset} + e.StoredSize > tail.CutPosition) continue;
    auto stored = file.ReadVector(e.DataOffset, e.StoredSize);
    std::vector<uint8_t> out;
    if (e.Kind == ferry::kZlibEntryKind) ferry::UnpackZlibEntry(stored, e.OrigSize, out);
  }

  ferry::test::MemoryPackageFileSystem fs;
  fs.Put(".\\p.rkp", bytes);
  ferry::PackageUpdaterHost host;
  host.Files = &fs;
  host.RandomKeyParam = [] { return uint8_t{3}; };
  try {
    ferry::PackageUpdater sys(host);
    ferry::test::FakeSetupSource setup;
    setup.Add("new.txt", "fresh");
    setup.Add("a.wav", std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min<size_t>(size, 200)));
    sys.UpdatePackage(setup, 1, ".", "p.rkp", tail.Trailer.Info.Password);
    // What was saved must read back.
    ferry::MemoryFile saved(fs.Get(".\\p.rkp"));
    if (ferry::ReadPackageTail(saved).Status != ferry::PackageReadStatus::kOk) __builtin_trap();
  } catch (const ferry::SetupError&) {
  }
  return 0;
}
