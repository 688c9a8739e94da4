#include "formats/package/package_commands.h"

#include <charconv>

#include "formats/pak/digit_key.h"

namespace ferry {

namespace {

void Need(std::span<const std::string> params, size_t n, const char* command) {
  if (params.size() < n)
    throw SetupError(std::string("\"") + command + "\" needs " + std::to_string(n) + " parameters, the line has " +
                     std::to_string(params.size()));
}

uint16_t GroupNumber(const std::string& text) {
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
    throw SetupError("\"rkpupdate\" group number is not a number: " + text);
  return static_cast<uint16_t>(value);
}

}  // namespace

void RunRkpUpdateCommand(PackageUpdater& system, SetupEntrySource& setup, const std::string& installDir,
                         std::span<const std::string> params) {
  Need(params, 4, "rkpupdate");
  uint16_t group = GroupNumber(params[3]);
  system.UpdatePackage(setup, group, installDir, params[2], DigitKeyDecode(kCommandParamKey, params[1]));
}

void RunRkpOfficialCommand(PackageUpdater& system, const std::string& installDir, std::span<const std::string> params) {
  Need(params, 3, "rkpofficial");
  system.SetOfficial(installDir, params[0], DigitKeyDecode(kCommandParamKey, params[1]), params[2]);
}

void RunDuplicateEntryCommand(PackageUpdater& system, const std::string& installDir,
                              std::span<const std::string> params) {
  Need(params, 3, "duplicateentry");
  system.DuplicateEntry(installDir, params[0], params[1], params[2]);
}

std::string CheckPackagePassword(std::string_view password) {
  if (password.size() <= kMaxPackagePasswordLength) return {};
  return "a package password is at most " + std::to_string(kMaxPackagePasswordLength) +
         " characters long (the package could not be opened again)";
}

}  // namespace ferry
