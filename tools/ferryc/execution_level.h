// The execution level a setup's manifest asks Windows for. The stub's
// manifest (src/app/setup-stub.manifest) asks for administrator rights; a
// setup that installs for the user running it must not, so ferryc rewrites
// the level in the setup's copy in place: `level="requireAdministrator"`
// becomes `level="asInvoker"` followed by blanks, which XML reads as the
// space between attributes. Nothing moves, so the resource's size and every
// offset stay as they were.
#pragma once

#include <cstdint>
#include <span>

namespace ferry::tool {

enum class ExecutionLevelResult {
  kSet,         // the level now reads asInvoker
  kNoManifest,  // no execution level in the image (a stand-in stub)
  kAmbiguous,   // more than one: nothing changed
};

// Looks for the level attribute in the whole image (the manifest is stored
// as plain UTF-8 text); one that says asInvoker already counts as set.
ExecutionLevelResult SetExecutionLevelAsInvoker(std::span<uint8_t> image);

}  // namespace ferry::tool
