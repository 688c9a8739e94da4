#include "engine/product_identity.h"

#include <cstdint>
#include <vector>

#include "base/file_system.h"
#include "base/number_text.h"
#include "base/path_text.h"
#include "base/random_access_file.h"
#include "base/random_name.h"
#include "base/text.h"
#include "engine/setup_context.h"
#include "formats/pak/pak_reader.h"
#include "engine/system.h"
#include "formats/pak/pak_reader.h"

namespace ferry {

namespace {

constexpr size_t kMaxProductIdLength = 200;

std::string_view WithoutTrailingBackslashes(std::string_view folder) {
  while (folder.size() > 3 && folder.back() == '\\') folder.remove_suffix(1);
  return folder;
}

// FNV-1a of the folder as SameFolder compares it: the key stays the same
// however the folder is written.
uint32_t FolderDigest(std::string_view folder) {
  uint32_t hash = 2166136261u;
  for (char c : AsciiLowerCopy(WithoutTrailingBackslashes(folder))) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace

std::optional<InstallScope> ParseInstallScope(std::string_view text) {
  for (InstallScope s : {InstallScope::kMachine, InstallScope::kUser, InstallScope::kEither})
    if (EqualsNoCase(text, InstallScopeName(s))) return s;
  return std::nullopt;
}

std::string_view InstallScopeName(InstallScope scope) {
  switch (scope) {
    case InstallScope::kUser: return "user";
    case InstallScope::kEither: return "either";
    case InstallScope::kMachine: break;
  }
  return "machine";
}

std::string ProductIdProblem(std::string_view id) {
  if (id.empty()) return "a registry key needs a name";
  if (id.size() > kMaxProductIdLength) return "longer than " + std::to_string(kMaxProductIdLength) + " characters";
  for (char c : id) {
    if (c == '\\') return "a backslash would name a key below another";
    if (static_cast<unsigned char>(c) < 0x20) return "a control character cannot be part of a key name";
  }
  if (id.front() == ' ' || id.back() == ' ') return "blanks at its start or end";
  return {};
}

std::optional<ProductInformation> ProductInfoIn(PakReader& pak) {
  std::optional<std::vector<uint8_t>> data = pak.LoadByName(kProductInfoEntry, 0);
  if (!data) return ProductInformation{};
  return ReadProductInfo(*data);
}

std::string ProductIdentity::KeyName(std::string_view folder) const {
  if (!SideBySide) return Id;
  return Id + "_" + HexText(FolderDigest(folder), 8, true);
}

std::string ProductIdentity::DisplayName(std::string_view folder) const {
  if (!SideBySide) return Title;
  return Title + " (" + std::string(WithoutTrailingBackslashes(folder)) + ")";
}

ProductIdentity IdentityOf(const SetupContext& ctx) {
  const ProductInformation product = ctx.Product.value_or(ProductInformation{});
  ProductIdentity identity;
  identity.Title = ctx.SetupInfo.ShortTitle;
  // A damaged or unusable id falls back on the title rather than a key elsewhere.
  identity.Id = ProductIdProblem(product.ProductId).empty() ? product.ProductId : ctx.SetupInfo.ShortTitle;
  identity.SideBySide = product.SideBySide;
  identity.ForUser = ctx.InstallForUser;
  return identity;
}

bool SameFolder(std::string_view a, std::string_view b) {
  return EqualsNoCase(WithoutTrailingBackslashes(a), WithoutTrailingBackslashes(b));
}

std::optional<std::string> InstalledFolder(const ProductIdentity& identity, const RegistryStringReader& read) {
  if (identity.SideBySide) return std::nullopt;
  std::optional<std::string> folder = read(identity.RegistryRoot(), identity.KeyPath(""), "InstallLocation");
  if (!folder || folder->empty()) return std::nullopt;
  return folder;
}

std::string InstalledElsewhereMessage(const ProductIdentity& identity, std::string_view installed,
                                      std::string_view folder) {
  return "\"" + identity.Title + "\" is installed in \"" + std::string(WithoutTrailingBackslashes(installed)) +
         "\"; it is not installed a second time in \"" + std::string(WithoutTrailingBackslashes(folder)) +
         "\". Install it into \"" + std::string(WithoutTrailingBackslashes(installed)) +
         "\", or uninstall it first.";
}

bool InstallFolderAccepted(SetupContext& ctx, System& system) {
  const ProductIdentity identity = IdentityOf(ctx);
  std::optional<std::string> installed =
      InstalledFolder(identity, [&system](int root, const std::string& key, const std::string& name) {
        return system.QueryRegistryValue(root, key, name).Value;
      });
  const std::string folder = ctx.ExpandPathVars(ctx.SetupInfo.InstallDir);
  if (!installed || SameFolder(*installed, folder)) return true;
  ctx.Record.Report(FailureEffect::kInstalledElsewhere, InstalledElsewhereMessage(identity, *installed, folder),
                    "Setup", DialogIcon::kError);
  return false;
}

bool UserCanWriteInstallFolder(SetupContext& ctx, System& system) {
  if (!ctx.InstallForUser) return true;
  FileSystem& files = system.Files();
  const std::string folder = ctx.ExpandPathVars(ctx.SetupInfo.InstallDir);
  std::string existing(WithoutTrailingBackslashes(folder));
  while (existing.size() > 3 && !files.DirectoryExists(existing))
    existing = std::string(WithoutTrailingBackslashes(FolderOf(existing)));
  const std::string probe = RandomScratchPath(existing);
  if (std::unique_ptr<RandomAccessFile> file = files.Open(probe, FileMode::kCreateNew)) {
    file.reset();
    files.RemoveFile(probe);
    return true;
  }
  ctx.Record.Report(FailureEffect::kRefused,
                    "\"" + std::string(WithoutTrailingBackslashes(folder)) +
                        "\" cannot be written without administrator rights, and this setup installs for you alone. "
                        "Choose a folder of your own, such as one below your user folder.",
                    "Setup", DialogIcon::kError);
  return false;
}

}  // namespace ferry
