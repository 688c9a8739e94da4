// What a script command is: its descriptor (CommandDescriptor), written in its own
// file engine/commands/<keyword>.cpp and listed in the one table
// (command_table.cpp), and the object the compiler and the setup thread call
// (CommandClass).
#pragma once

#include <cstdint>
#include <string>

namespace ferry {

class CommandRun;
class CompileContext;
struct CompLine;
struct SetupContext;
struct CommandDescriptor;
struct SetupInfoRecord;

// Parameter n (from 1) as a bit of the parameter sets below.
constexpr uint16_t ParamBit(int n) { return static_cast<uint16_t>(1u << n); }

// The compile step of line lineIndex of ctx.Lines; see CommandClass::CompileProcess.
using CompileStep = void (*)(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex);
// The run step of `line`, the line at lineIndex of ctx.CompLines, acting
// on the system through `run`.
using RunStep = void (*)(SetupContext& ctx, const CommandRun& run, CompLine& line, int lineIndex);
// After the last line of a run; see CommandClass::EndOfRun.
using EndStep = void (*)(SetupContext& ctx);

struct CommandDescriptor {
  const char* Keyword;  // lower case
  bool IsSetting;       // only fills the setup information record
  // 0: no payload group; 1: extracts a group of files; 2: applies a group
  // to a product archive.
  uint8_t GroupKind;
  int MinParams;  // fewer parameters are a compile error
  int MaxParams = -1;  // more are one too; -1: no limit

  // Parameters that name a label, a line index in the stream.
  uint16_t JumpParams = 0;
  // A label "0" means no jump (written -1 in the stream).
  bool ZeroMeansNoJump = false;
  // The run jumps only to lines above 0, so no label on the first line.
  bool NoJumpToFirstLine = false;
  // Parameters enciphered with kCommandParamKey in the stream.
  uint16_t EncipheredParams = 0;
  // A folder below the install folder that the run creates.
  uint16_t SubfolderParams = 0;
  // Parameters whose path variables the run expands.
  uint16_t PathParams = 0;
  // Parameters that name a registry root (see RootKeyIndex).
  uint16_t RootParams = 0;
  // The archive entry the compiler adds for the language named by
  // parameter 1 ("LANGUAGE-" + name); none: no language file.
  const char* LanguageEntryPrefix = nullptr;

  CompileStep Compile = nullptr;  // none: CompileCommandLine
  RunStep Run = nullptr;          // none: the line does nothing at run time
  EndStep End = nullptr;
};

// The compile step every command without its own has, and the last part of
// most own steps: checks the minimum parameter count and, for a command with
// a payload group, appends the next group number as the last parameter;
// before that resolves the labels, enciphers and adds the language file the
// descriptor names.
void CompileCommandLine(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex);
// Reports "<keyword> needs at least N parameter(s)" (or "takes at most") and
// returns false when the line has fewer than descriptor.MinParams or more
// than descriptor.MaxParams.
bool CheckParamCount(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex);

// The compile step of a setting: with enough parameters, set(info, line)
// fills the setup information record and the line is made inert.
void CompileSetting(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex,
                    void (*set)(SetupInfoRecord& info, const CompLine& line));

class CommandClass {
 public:
  explicit CommandClass(const CommandDescriptor& descriptor);
  // A command of its own, for tests: overrides of the virtual steps.
  CommandClass(const char* keyword, bool isSetting, uint8_t groupKind, int minParams);
  virtual ~CommandClass() = default;
  CommandClass(const CommandClass&) = delete;
  CommandClass& operator=(const CommandClass&) = delete;

  const CommandDescriptor& Descriptor() const { return descriptor_; }
  const std::string Keyword;
  const bool IsSetting;
  const int MinParams;
  uint8_t GroupKind() const { return descriptor_.GroupKind; }

  // Compile-time step for line lineIndex of ctx.Lines, whose CommandNo,
  // LineNo and script parameters the compiler has filled. Problems are
  // reported with ctx.Error; the line is then left as it was.
  virtual void CompileProcess(CompileContext& ctx, int lineIndex);
  // Run-time action for the line at lineIndex of ctx.CompLines.
  virtual void SFXProcess(SetupContext& ctx, const CommandRun& run, int lineIndex);
  // After the last line of a run, also one that was aborted or jumped past
  // the rest: finishes work a line left open for later lines.
  virtual void EndOfRun(SetupContext& ctx);

 private:
  const CommandDescriptor descriptor_;
};

}  // namespace ferry
