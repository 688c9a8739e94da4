// The product's version against the one installed: a setup does not replace
// a newer installed version (unless asked to), and a patch applies only to
// the versions its "patchfor" line names. Both are checked before a run
// writes anything, from the registration's DisplayVersion.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/product_identity.h"

namespace ferry {

class System;
struct SetupContext;

// Versions compare by their leading dotted numbers ("1.10" after "1.9",
// "1.2" equal to "1.2.0"); then by the text after them (none first:
// "1.2" after "1.2 beta" is not claimed, both compare equal). Negative,
// zero or positive as a is below, equal to or above b.
int CompareVersions(std::string_view a, std::string_view b);

// "patchfor VERSION" or "patchfor FROM-TO" (both included).
struct VersionRange {
  std::string From;
  std::string To;
  bool Contains(std::string_view version) const;
};
// None when the text is not a version or two joined by "-", each starting
// with a number, From not above To.
std::optional<VersionRange> ParseVersionRange(std::string_view text);

// The range of the setup's "patchfor" line, if it has one.
std::optional<VersionRange> PatchForRange(const SetupContext& ctx);

// What a setup of version `own` ("" none) with the patch range `patchFor`
// finds with `installed` registered (none: not installed).
struct VersionCheck {
  std::string Title;  // the short title
  std::string Own;
  std::optional<VersionRange> PatchFor;
  std::optional<std::string> Installed;
  bool AllowDowngrade = false;  // "/ALLOWDOWNGRADE"
};
struct VersionRefusal {
  bool NotPatchable = false;  // else a newer version is installed
  std::string Why;
};
// None when the run may go on.
std::optional<VersionRefusal> RefuseVersion(const VersionCheck& check);

// The check for this setup against its registration, read through
// `system`; a refusal goes to ctx.Record (kNotPatchable or kNewerInstalled,
// in a box). False when the run must not go on.
bool InstalledVersionAccepted(SetupContext& ctx, System& system, bool allowDowngrade);

}  // namespace ferry
