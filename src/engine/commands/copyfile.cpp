// "copyfile FROM TO": copy a file, creating the target's folders.
#include "base/file_system.h"
#include "base/path_text.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/setup_context.h"
#include "engine/startup.h"
#include "engine/system.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {


void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  FileSystem& files = run.Files();
  const std::string source = ctx.ExpandPathVars(run.System->ResolveCdDrivePath(line.Param(1)));
  const std::string target = ctx.ExpandPathVars(line.Param(2));
  CreateFoldersLogged(ctx, files, FolderOf(target));
  ctx.Progress.SetStatusText(TextWithFileName(ctx, kTextCopyingFile, FileNamePart(source)));
  if (!files.CopyFile(source, target, false)) {
    // A source that is not there (an optional file on a CD) is only noted;
    // a target that cannot be written is a failed file.
    if (!files.FileExists(source) && !files.DirectoryExists(source))
      ctx.Record.NotDone("copyfile: " + source + " does not exist; nothing was copied");
    else
      ctx.Record.FileNotWritten(target, "copy of " + source + " failed");
  }
  ctx.InstallLog.AddFile(target);
}

}  // namespace

extern const CommandDescriptor kCopyFileCommand;
const CommandDescriptor kCopyFileCommand{.Keyword = "copyfile", .IsSetting = false, .GroupKind = 0, .MinParams = 2,
                                         .MaxParams = 2, .PathParams = ParamBit(1) | ParamBit(2), .Run = Run};

}  // namespace ferry
