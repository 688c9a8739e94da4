// ferryc's inspectors on untrusted setups: the archive checks, the setup-level
// findings and the script write-back must report damage, never crash or
// read outside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/random_access_file.h"
#include "log_reading.h"
#include "script_writeback.h"
#include "setup_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ferry;
  using namespace ferry::tool;
  auto file = std::make_unique<MemoryFile>(std::vector<uint8_t>(data, data + size));
  OpenedSetup setup(std::move(file), "fuzz.exe");
  // The same bytes read as an install log.
  DescribeInstallLog({data, size});
  if (!setup.ArchiveProblem().empty()) return 0;
  for (size_t i = 0; i < setup.Pak().EntryCount(); ++i) {
    EntryCheck c = CheckEntry(setup, i);
    if (!c.Sound && c.State.empty()) std::abort();  // damage always has a reason
  }
  CheckStructure(setup);
  auto info = setup.SetupInfo();
  CompLineList lines = setup.CompiledLines().value_or(CompLineList{});
  WriteBack wb = WriteBackScript(info ? info->Info() : SetupInfoRecord{}, lines, setup.Pak().Files(),
                                 setup.ProductInfo());
  for (const WriteBackFile& f : wb.Files)
    if (f.EntryIndex >= setup.Pak().EntryCount()) std::abort();
  if (wb.Lines.size() < lines.Lines.size()) std::abort();  // every stream line keeps its place
  return 0;
}
