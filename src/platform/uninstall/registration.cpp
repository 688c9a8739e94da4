#include "platform/uninstall/registration.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "engine/setup_context.h"
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

std::string RegistrationKey(const std::string& shortTitle) { return kUninstallRegistryKey + shortTitle; }

// The values of the setup's "ProductInfo"; one it does not give is deleted,
// so that an earlier install's value does not stay on as this one's.
bool SetProductValues(SetupContext& ctx, RegKey& key) {
  std::optional<ProductInformation> product = ProductInformation{};
  if (ctx.Pak) {
    if (std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadByName(kProductInfoEntry, 0))
      product = ReadProductInfo(*data);
  }
  if (!product) {
    ctx.Record.NotDone("The setup's product information is damaged: no version or publisher is registered.");
    product = ProductInformation{};
  }
  bool ok = true;
  for (const auto& [name, value] : {std::pair{"DisplayVersion", &product->Version},
                                    std::pair{"Publisher", &product->Publisher},
                                    std::pair{"URLInfoAbout", &product->HelpUrl}}) {
    if (!value->empty()) ok &= key.WriteString(name, *value);
    else key.DeleteValue(name);
  }
  return ok;
}

void WriteRegistration(SetupContext& ctx) {
  const std::string path = RegistrationKey(ctx.SetupInfo.ShortTitle);
  RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, path, true);
  if (!key.IsOpen()) {
    ctx.Record.NotDone("The uninstall registration HKLM\\" + path + " could not be created.");
    return;
  }
  const std::string program = UninstallerPath(ctx);
  // Quoted: a path with blanks must not be read as a shorter program name.
  const std::string quoted = "\"" + program + "\"";
  std::string location = ctx.SetupInfo.InstallDir;
  if (location.size() > 3 && location.back() == '\\') location.pop_back();
  const uint64_t kib = (ctx.SpaceRequired + 1023) / 1024;
  bool ok = key.WriteString("DisplayName", ctx.SetupInfo.ShortTitle) && key.WriteString("UninstallString", quoted) &&
            key.WriteString("QuietUninstallString", quoted + " /S") && key.WriteString("DisplayIcon", program) &&
            key.WriteString("InstallLocation", location) &&
            key.WriteDword("EstimatedSize", static_cast<uint32_t>(kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : kib)) &&
            key.WriteDword("NoModify", 1) && key.WriteDword("NoRepair", 1) && SetProductValues(ctx, key);
  key.Close();
  if (!ok) ctx.Record.NotDone("The uninstall registration HKLM\\" + path + " could not be written.");
}

}  // namespace

void RegisterUninstall(SetupContext& ctx, PrivateFolder& temp) {
  WriteRegistration(ctx);
  if (ctx.Pak && ctx.Pak->EntryCount() > 0) WriteUninstaller(ctx, temp);
}

void RemoveRegistration(const std::string& shortTitle) {
  const std::string path = RegistrationKey(shortTitle);
  {
    RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, path, false);
    if (!key.IsOpen()) return;
    for (const char* name : kRegistrationValues) key.DeleteValue(name);
  }
  DeleteLeafKey(HKEY_LOCAL_MACHINE, path);
}

}  // namespace ferry
