// "rename FROM TO": move a file.
#include "base/file_system.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  line.SetParam(1, ctx.ExpandPathVars(line.Param(1)));
  line.SetParam(2, ctx.ExpandPathVars(line.Param(2)));
  FileSystem& files = run.Files();
  const std::string& from = line.Param(1);
  const std::string& to = line.Param(2);
  if (!files.FileExists(from)) return;
  // A plain move: with a file or folder at the new path both stay as they
  // were, a step not done.
  if (files.FileExists(to) || files.DirectoryExists(to))
    return ctx.Record.NotDone("rename: " + from + " was not moved: " + to + " exists");
  // A file that cannot move (in use, protected) fails the run like one not
  // written.
  if (!files.RenameFile(from, to)) ctx.Record.FileNotWritten(from, "it could not be renamed to " + to);
}

}  // namespace

extern const CommandDescriptor kRenameCommand;
const CommandDescriptor kRenameCommand{.Keyword = "rename", .IsSetting = false, .GroupKind = 0, .MinParams = 2,
                                       .MaxParams = 2, .PathParams = ParamBit(1) | ParamBit(2), .Run = Run};

}  // namespace ferry
