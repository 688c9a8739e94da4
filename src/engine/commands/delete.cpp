// "delete PATH": delete a file.
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
  FileSystem& files = run.Files();
  const std::string& path = line.Param(1);
  // A file that stays (in use, protected) fails the run like one not written.
  if (files.FileExists(path) && !files.RemoveFile(path)) ctx.Record.FileNotWritten(path, "it could not be deleted");
}

}  // namespace

extern const CommandDescriptor kDeleteCommand;
const CommandDescriptor kDeleteCommand{.Keyword = "delete", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                       .MaxParams = 1, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry
