#include <windows.h>

#include "engine/commands/command_runtime_win.h"
#include "engine/commands/rename_command.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/win_text.h"

namespace ferry {

void TRenameCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  line->SetParam(1, ctx.ExpandPathVars(line->Param(1)));
  line->SetParam(2, ctx.ExpandPathVars(line->Param(2)));
  if (!FileExists(line->Param(1))) return;
  // A plain move: an existing file at the new path makes it fail, and both
  // files stay as they were.
  MoveFileW(WinPath(line->Param(1)).c_str(), WinPath(line->Param(2)).c_str());
}

}  // namespace ferry
