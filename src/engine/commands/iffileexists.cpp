// "iffileexists PATH IFTHERE IFNOT": jump depending on whether a file
// exists; a label "0" is no jump.
#include "base/file_system.h"
#include "base/text_helpers.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  const int32_t ifThere = StrToIntOrMinus1(line.Param(2));
  const int32_t ifNot = StrToIntOrMinus1(line.Param(3));
  const std::string path = ctx.ExpandPathVars(run.System->ResolveCdDrivePath(line.Param(1)));
  // A folder at the path counts as no file.
  if (run.Files().FileExists(path)) {
    if (ifThere >= 0) ctx.CurrentLine = ifThere;
  } else if (ifNot >= 0) {
    ctx.CurrentLine = ifNot;
  }
}

}  // namespace

extern const CommandDescriptor kIfFileExistsCommand;
const CommandDescriptor kIfFileExistsCommand{.Keyword = "iffileexists", .IsSetting = false, .GroupKind = 0,
                                             .MinParams = 3, .MaxParams = 3, .JumpParams = ParamBit(2) | ParamBit(3),
                                             .ZeroMeansNoJump = true, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry
