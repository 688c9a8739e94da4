#include "engine/product_version.h"

#include <cctype>
#include <vector>

#include "base/text.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/pak/pak_reader.h"
#include "formats/setup/product_info.h"

namespace ferry {

namespace {

constexpr int kMachineRoot = 0;

// The leading dotted numbers, and the rest of the text.
std::vector<uint64_t> Numbers(std::string_view text, std::string_view* rest = nullptr) {
  std::vector<uint64_t> numbers;
  size_t i = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    uint64_t n = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && n < 1'000'000'000)
      n = n * 10 + static_cast<uint64_t>(text[i++] - '0');
    numbers.push_back(n);
    if (i + 1 < text.size() && text[i] == '.' && std::isdigit(static_cast<unsigned char>(text[i + 1]))) ++i;
    else break;
  }
  if (rest) *rest = text.substr(i);
  return numbers;
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

// The setup's own "@version", "" when it has none.
std::string OwnVersion(const SetupContext& ctx) {
  if (!ctx.Pak) return {};
  std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadByName(kProductInfoEntry, 0);
  if (!data) return {};
  std::optional<ProductInformation> info = ReadProductInfo(*data);
  return info ? info->Version : std::string();
}

}  // namespace

int CompareVersions(std::string_view a, std::string_view b) {
  std::vector<uint64_t> x = Numbers(a), y = Numbers(b);
  for (size_t i = 0; i < x.size() || i < y.size(); ++i) {
    const uint64_t p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
    if (p != q) return p < q ? -1 : 1;
  }
  return 0;
}

bool VersionRange::Contains(std::string_view version) const {
  return CompareVersions(From, version) <= 0 && CompareVersions(version, To) <= 0;
}

std::optional<VersionRange> ParseVersionRange(std::string_view text) {
  const size_t dash = text.find('-');
  VersionRange range;
  range.From = Trimmed(text.substr(0, dash));
  range.To = dash == std::string_view::npos ? range.From : Trimmed(text.substr(dash + 1));
  for (const std::string& v : {range.From, range.To}) {
    std::string_view rest;
    if (Numbers(v, &rest).empty() || !rest.empty()) return std::nullopt;
  }
  if (CompareVersions(range.From, range.To) > 0) return std::nullopt;
  return range;
}

std::optional<VersionRange> PatchForRange(const SetupContext& ctx) {
  for (const CompLine& line : ctx.CompLines.Lines) {
    const CommandClass* command = line.CommandNo > 0 ? ctx.Commands.Find(line.CommandNo) : nullptr;
    if (command && EqualsNoCase(command->Keyword, "patchfor") && line.ParamCount >= 1)
      return ParseVersionRange(line.Param(1));
  }
  return std::nullopt;
}

std::optional<VersionRefusal> RefuseVersion(const VersionCheck& check) {
  const std::string product = "\"" + check.Title + "\"";
  const bool installed = check.Installed && !check.Installed->empty();
  if (const std::optional<VersionRange>& range = check.PatchFor) {
    const std::string wanted =
        range->From == range->To ? "version " + range->From : "versions " + range->From + " to " + range->To;
    if (!installed) return VersionRefusal{true, "This patch is for " + product + " " + wanted + ", which is not installed."};
    if (!range->Contains(*check.Installed))
      return VersionRefusal{true, "This patch is for " + product + " " + wanted + "; version " + *check.Installed +
                                      " is installed."};
    return std::nullopt;
  }
  if (check.AllowDowngrade || check.Own.empty() || !installed || CompareVersions(*check.Installed, check.Own) <= 0)
    return std::nullopt;
  return VersionRefusal{false, product + " version " + *check.Installed + " is installed, newer than this setup's version " +
                                   check.Own + "; start the setup with /ALLOWDOWNGRADE to replace it."};
}

bool InstalledVersionAccepted(SetupContext& ctx, System& system, bool allowDowngrade) {
  VersionCheck check;
  check.Title = ctx.SetupInfo.ShortTitle;
  check.Own = OwnVersion(ctx);
  check.PatchFor = PatchForRange(ctx);
  check.Installed =
      system.QueryRegistryValue(kMachineRoot, kUninstallRegistryKey + ctx.SetupInfo.ShortTitle, "DisplayVersion").Value;
  check.AllowDowngrade = allowDowngrade;
  std::optional<VersionRefusal> refusal = RefuseVersion(check);
  if (!refusal) return true;
  ctx.Record.Report(refusal->NotPatchable ? FailureEffect::kNotPatchable : FailureEffect::kNewerInstalled,
                    refusal->Why, "Setup", DialogIcon::kError);
  return false;
}

}  // namespace ferry
