// Compiled command stream from untrusted bytes: bounded allocation, no read
// outside the data, and a stable round trip of whatever was loaded. The
// command table is looked up for every line, as the stub does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/command_list.h"
#include "formats/setup/comp_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ferry::CompLineList lines;
  lines.LoadFromBuffer(data, size);
  if (lines.Count() > size / 12 + 1) std::abort();

  static ferry::CommandList commands = [] {
    ferry::CommandList list;
    ferry::RegisterCommands(list);
    return list;
  }();
  ferry::BuildGroupKinds(lines, commands);
  for (const ferry::CompLine& line : lines.Lines)
    if (line.ParamCount != static_cast<int32_t>(line.Params.size())) std::abort();

  ferry::CompLineList again;
  again.LoadFromBuffer(lines.SaveToBuffer());
  if (again.Lines != lines.Lines) std::abort();
  return 0;
}
