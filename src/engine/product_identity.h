// Which product a setup installs and where Windows lists it: the key of
// its uninstall registration ("productid", or the short title), below
// HKEY_LOCAL_MACHINE for a machine install and HKEY_CURRENT_USER for a
// user's, one key per install folder for a "sidebyside" product; and the
// folder an installed product is in (the registration's InstallLocation).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "formats/setup/product_info.h"

namespace ferry {

class System;
class PakReader;
struct SetupContext;

// The uninstall registrations' key below the root; a product's is this and
// its key name.
inline constexpr char kUninstallRegistryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::optional<InstallScope> ParseInstallScope(std::string_view text);  // "user", "machine", "either"
std::string_view InstallScopeName(InstallScope scope);
// Why `id` cannot name a registry key of its own ("" when it can): empty,
// over 200 characters, a backslash, a control character, or blanks at an end.
std::string ProductIdProblem(std::string_view id);

// The archive's "ProductInfo"; the defaults when it has none, nullopt when
// it is damaged.
std::optional<ProductInformation> ProductInfoIn(PakReader& pak);

struct ProductIdentity {
  std::string Id;  // productid, or the short title
  std::string Title;  // the short title, for messages and DisplayName
  bool SideBySide = false;
  bool ForUser = false;  // registered below HKEY_CURRENT_USER

  int RegistryRoot() const { return ForUser ? 1 : 0; }
  std::string RootName() const { return ForUser ? "HKCU" : "HKLM"; }
  // The registration's key name for an install in `folder`: the id, and for
  // a side-by-side product a digest of the folder (case and trailing
  // backslashes aside) after it.
  std::string KeyName(std::string_view folder) const;
  std::string KeyPath(std::string_view folder) const { return kUninstallRegistryKey + KeyName(folder); }
  // What Windows lists: the title, and a side-by-side install's folder.
  std::string DisplayName(std::string_view folder) const;
};
// From OwnProductInfo (the defaults when damaged) and the scope the run
// installs in (ctx.InstallForUser).
ProductIdentity IdentityOf(const SetupContext& ctx);

// Folders compare without ASCII case, trailing backslashes aside.
bool SameFolder(std::string_view a, std::string_view b);

// Reads a string value: none when the key does not open or the value is
// missing.
using RegistryStringReader = std::function<std::optional<std::string>(int root, const std::string& key,
                                                                       const std::string& name)>;
// The folder the product is registered in; none when it is not registered
// (a side-by-side product is never looked up: each folder is its own).
std::optional<std::string> InstalledFolder(const ProductIdentity& identity, const RegistryStringReader& read);

// Why an install into `folder` is refused because the product is installed
// in `installed`; names both folders.
std::string InstalledElsewhereMessage(const ProductIdentity& identity, std::string_view installed,
                                      std::string_view folder);

// The check before a run writes anything: a product installed in another
// folder is not installed a second time. A refusal goes to ctx.Record
// (kInstalledElsewhere, in a box). False when the run must not go on.
bool InstallFolderAccepted(SetupContext& ctx, System& system);

// For a run for the user: the install folder (or, while it does not exist,
// the nearest folder above it that does) must take a new file, tried with a
// scratch file removed at once. Refused (kRefused, in a box) before the run
// writes anything: a folder only administrators may write.
bool UserCanWriteInstallFolder(SetupContext& ctx, System& system);

}  // namespace ferry
