#include "platform/uninstall/finaliser.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/path_text.h"
#include "base/system_path.h"
#include "engine/setup_context.h"
#include "formats/pak/pak_reader.h"
#include "formats/setup/carried_uninstaller.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/shell.h"
#include "platform/uninstall/file_identity.h"
#include "platform/uninstall/self_removal.h"
#include "platform/uninstall/uninstaller_file.h"

namespace ferry {

bool RunFinaliser(SetupContext& ctx, PrivateFolder& temp) {
  if (!ctx.Pak) return false;
  std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadByName("FINALISE.EXE", 0);
  // No finishing program: nothing to write, nothing to start.
  if (!data) return false;
  // Started from a file no other program could write since it was written.
  const NativePath path = temp.WriteNewFile(L"FINALISE.exe", *data);
  if (path.empty() || !temp.HoldAgainstWrites(path)) return false;
  return ShellStartProgram(path, L"\"" + OwnProgramPath().native() + L"\"", SW_SHOWNORMAL);
}

void FinishUninstaller(SetupContext& ctx, bool workDone, PrivateFolder& temp) {
  RunFinaliser(ctx, temp);
  if (!workDone) return;
  // A name the code page cannot hold names no file: not the registered one.
  const std::string own = PathText(OwnProgramPath());
  const std::string uninstaller = UninstallerPath(ctx);
  // Only the registered uninstaller removes itself, not a copy run elsewhere.
  if (!IsSameFile(own, uninstaller)) return;
  // The install's record beside a carried uninstaller goes with it.
  const std::string side = UninstallSideFilePath(uninstaller);
  if (ctx.Pak && ctx.Pak->LoadByName(kInstallInfoBesideEntry, 0)) DeleteFileAt(side);
  std::vector<std::string> directories = ctx.InstallLog.Directories();
  directories.push_back(FolderOf(uninstaller));
  ScheduleSelfRemoval(own, directories, temp);
}

}  // namespace ferry
