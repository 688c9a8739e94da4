// "execute FILE [PARAMETERS]": run a program and wait for it.
#include <memory>

#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, TCompLine& line, int) {
  if (!run.System) return;
  line.SetParam(1, ctx.ExpandPathVars(line.Param(1)));
  const std::string& file = line.Param(1);
  const std::string parameters = line.Params.size() >= 2 ? line.Param(2) : std::string();  // as written
  std::unique_ptr<StartedProgram> program;
  if (!run.System->StartProgram(file, parameters, &program)) {
    ctx.Record.Note("execute: " + file + " could not be started");
    return;
  }
  if (!program) return;
  // The exit code does not matter; a failure elsewhere or the end of the
  // program ends the wait.
  while (!program->Wait(1)) {
    if (ctx.Record.MustStop() || ctx.StopRequested.load() != 0) break;
  }
}

}  // namespace

extern const CommandDescriptor kExecuteCommand;
const CommandDescriptor kExecuteCommand{.Keyword = "execute", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                        .MaxParams = 2, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry
