// The stub's command line from untrusted text: parsing never reads outside
// it, an unknown switch is always one of the parameters, and the archive
// argument is never a switch.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/stub_command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  ferry::StubOptions options = ferry::ParseStubCommandLine(line);
  if (!options.ArchiveArgument.empty() && options.ArchiveArgument.front() == '/') std::abort();
  if (!options.UnknownSwitch.empty() && options.UnknownSwitch.front() != '/') std::abort();
  return 0;
}
