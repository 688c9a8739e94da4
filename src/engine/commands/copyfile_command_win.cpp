#include "engine/commands/command_runtime_win.h"
#include "engine/commands/copyfile_command.h"
#include "engine/setup_context.h"
#include "engine/startup.h"
#include "platform/files.h"

namespace ferry {

namespace {
constexpr int kCopyingText = 17;
}

void TCopyFileCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string source = ctx.ExpandPathVars(ResolveCdDrivePath(line->Param(1)));
  const std::string target = ctx.ExpandPathVars(line->Param(2));
  ForceDirectoriesLogged(FolderOf(target), LogCreatedDirectory(ctx));
  ctx.Progress.SetStatusText(TextWithFileName(ctx, kCopyingText, FileNamePart(source)));
  if (!CopyFileTo(source, target, false)) {
    // A source that is not there (an optional file on a CD) is only noted;
    // a target that cannot be written is a failed file.
    if (FileAttributesOf(source) == kInvalidFileAttributes)
      ctx.Progress.Problem("copyfile: " + source + " does not exist; nothing was copied");
    else
      ctx.Progress.FileNotWritten(target, "copy of " + source + " failed");
  }
  ctx.InstallLog.AddFile(target);
}

}  // namespace ferry
