#include "platform/uninstall/registration.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "engine/product_identity.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/pak/pak_reader.h"
#include "formats/setup/product_info.h"
#include "platform/registry.h"
#include "platform/uninstall/uninstaller_file.h"

namespace ferry {

namespace {

// Values of the registration; the uninstall deletes them with the key.
constexpr const char* kRegistrationValues[] = {
    "DisplayName",   "UninstallString", "QuietUninstallString", "DisplayIcon",    "InstallLocation",
    "EstimatedSize", "NoModify",        "NoRepair",             "DisplayVersion", "Publisher",
    "URLInfoAbout"};

std::string InstallFolder(const SetupContext& ctx) { return ctx.ExpandPathVars(ctx.SetupInfo.InstallDir); }

// Shown while the run that writes it has not finished: a product killed
// mid-run is listed as such, with an uninstaller that removes it.
constexpr char kNotFinishedMark[] = " (setup not finished)";

// The values of the setup's "ProductInfo"; one it does not give is deleted,
// so that an earlier install's value does not stay on as this one's.
bool SetProductValues(SetupContext& ctx, System& system, int root, const std::string& path) {
  std::optional<ProductInformation> product = ctx.Product;
  if (!product) {
    ctx.Record.NotDone("The setup's product information is damaged: no version or publisher is registered.");
    product = ProductInformation{};
  }
  bool ok = true;
  for (const auto& [name, value] : {std::pair{"DisplayVersion", &product->Version},
                                    std::pair{"Publisher", &product->Publisher},
                                    std::pair{"URLInfoAbout", &product->HelpUrl}}) {
    if (!value->empty()) ok &= system.WriteRegistryString(root, path, name, *value) == RegistryWrite::kDone;
    else ok &= system.DeleteRegistryValue(root, path, name);
  }
  return ok;
}

bool WriteRegistration(SetupContext& ctx, System& system, const ProductIdentity& identity) {
  const int root = identity.RegistryRoot();
  const std::string path = identity.KeyPath(InstallFolder(ctx));
  const std::string program = UninstallerPath(ctx);
  // Quoted: a path with blanks must not be read as a shorter program name.
  const std::string quoted = "\"" + program + "\"";
  std::string location = InstallFolder(ctx);
  if (location.size() > 3 && location.back() == '\\') location.pop_back();
  const uint64_t kib = (ctx.SpaceRequired + 1023) / 1024;
  auto text = [&](const char* name, const std::string& value) {
    return system.WriteRegistryString(root, path, name, value) == RegistryWrite::kDone;
  };
  auto number = [&](const char* name, uint64_t value) {
    return system.WriteRegistryDword(root, path, name,
                                     static_cast<uint32_t>(value > 0xFFFFFFFFu ? 0xFFFFFFFFu : value)) ==
           RegistryWrite::kDone;
  };
  return text("DisplayName", identity.DisplayName(location) + kNotFinishedMark) && text("UninstallString", quoted) &&
         text("QuietUninstallString", quoted + " /S") && text("DisplayIcon", program) &&
         text("InstallLocation", location) && number("EstimatedSize", kib) && number("NoModify", 1) &&
         number("NoRepair", 1) && SetProductValues(ctx, system, root, path);
}

}  // namespace

void RegisterUninstall(SetupContext& ctx, System* system, PrivateFolder& temp, bool finished) {
  if (!system) return;
  const ProductIdentity identity = IdentityOf(ctx);
  const std::string path = identity.KeyPath(InstallFolder(ctx));
  const std::string named = identity.RootName() + "\\" + path;
  if (finished) {
    if (system->WriteRegistryString(identity.RegistryRoot(), path, "DisplayName",
                                    identity.DisplayName(InstallFolder(ctx))) != RegistryWrite::kDone)
      ctx.Record.Fail("The uninstall registration " + named + " could not be marked finished.");
    return;
  }
  // The uninstaller first: the registration names it.
  if (ctx.Pak && ctx.Pak->EntryCount() > 0) WriteUninstaller(ctx, *system, temp);
  if (ctx.Record.MustStop()) return;
  if (!WriteRegistration(ctx, *system, identity))
    ctx.Record.Fail("The uninstall registration " + named + " could not be written.");
}

void RemoveRegistration(const ProductIdentity& identity, const std::string& folder) {
  const HKEY root = identity.ForUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  const std::string path = identity.KeyPath(folder);
  {
    RegKey key = RegKey::Open(root, path, false);
    if (!key.IsOpen()) return;
    for (const char* name : kRegistrationValues) key.DeleteValue(name);
  }
  DeleteLeafKey(root, path);
}

}  // namespace ferry
