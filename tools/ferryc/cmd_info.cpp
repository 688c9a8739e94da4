// ferryc info SETUP [--script]
#include <cstdio>
#include <string>
#include <vector>

#include "engine/product_identity.h"
#include "base/text_helpers.h"
#include "script_writeback.h"
#include "setup_reading.h"
#include "tool_command.h"

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc info SETUP [--script]\n"
    "\n"
    "Prints a setup's information record and its product information (what\n"
    "@version, @publisher and @helpurl gave), one 'Field: value' line per\n"
    "field, then its command stream written back as a script (labels on the lines\n"
    "that jumps name, settings and directives on the lines that do nothing).\n"
    "With --script only the script is printed. `ferryc extract SETUP DIR`\n"
    "writes the same script with the files it names; compiled again on the\n"
    "same stub it gives the same bytes. Where that cannot hold (a setup not\n"
    "made by ferryc, or damaged), notes on standard error say why.\n"
    "Exit status: 0 printed, 1 no readable setup, 2 bad usage.\n";

void PrintField(const char* name, const std::string& value) { std::printf("%s: %s\n", name, value.c_str()); }

int RunInfo(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::string path;
  bool scriptOnly = false;
  if (!ParsePathAndFlag(args, "--script", path, scriptOnly)) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  OpenedSetup setup(path);
  if (std::string problem = setup.ArchiveProblem(); !problem.empty()) {
    std::fprintf(stderr, "ferryc info: %s: %s\n", path.c_str(), problem.c_str());
    return 1;
  }
  auto info = setup.SetupInfo();
  if (!info) {
    std::fprintf(stderr, "ferryc info: %s: no sound \"SetupInfo\" entry\n", path.c_str());
    return 1;
  }
  CompLineList lines = setup.CompiledLines().value_or(CompLineList{});
  const std::optional<ProductInformation> product = setup.ProductInfo();
  if (!scriptOnly) {
    PrintField("SetupTitle", info->SetupTitle);
    PrintField("ShortTitle", info->ShortTitle);
    PrintField("SetupExeName", info->SetupExeName);
    PrintField("UninstallExeName", info->UninstallExeName);
    PrintField("UninstallPrefix", info->UninstallPrefix);
    PrintField("InstallDir", info->InstallDir);
    PrintField("ChangelogName", info->ChangelogName);
    PrintField("InstallDirRegKey.RootKey",
               std::to_string(info->InstallDirRegKey.RootKey) + " " + RootKeyShortName(info->InstallDirRegKey.RootKey));
    PrintField("InstallDirRegKey.Key", info->InstallDirRegKey.Key);
    PrintField("InstallDirRegKey.ValueName", info->InstallDirRegKey.ValueName);
    PrintField("PageSet", info->PageSet);
    PrintField("UninstallPageSet", info->UninstallPageSet);
    PrintField("IsUninstaller", std::to_string(info->IsUninstaller));
    PrintField("MakeUninstaller", std::to_string(info->MakeUninstaller));
    if (!product) {
      PrintField("ProductInfo", "damaged");
    } else {
      PrintField("ProductVersion", product->Version);
      PrintField("Publisher", product->Publisher);
      PrintField("HelpUrl", product->HelpUrl);
      PrintField("ProductId", product->ProductId);
      PrintField("Scope", std::string(InstallScopeName(product->Scope)));
      PrintField("SideBySide", product->SideBySide ? "yes" : "no");
      PrintField("ReplaceAtRestart", product->ReplaceAtRestart ? "yes" : "no");
    }
    PrintField("Lines", std::to_string(lines.Lines.size()));
    PrintField("Entries", std::to_string(setup.Pak().EntryCount()));
    std::printf("\n");
  }
  WriteBack wb = WriteBackScript(*info, lines, setup.Pak().Files(), product, UsesZstd(setup), DeltaBaseText(setup));
  std::fputs(wb.Text().c_str(), stdout);
  for (const std::string& n : wb.Notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  return 0;
}

const ToolCommandRegistration kInfo{
    {"info", "SETUP [--script]", "print the setup information and the script", RunInfo}};

}  // namespace

}  // namespace ferry::tool
