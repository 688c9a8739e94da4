// Base of every script command.
//
// Each command is one subclass named after its keyword (TFileCommand for
// "file"), created once by RegisterCommands (command_list.h), whose order
// gives it its number. The class carries the compile-time step
// (CompileProcess, used by ferryc), the run-time action (SFXProcess, used by
// the setup thread) and the kind of payload group it consumes (GroupKind).
//
// Run-time actions act on Windows and live in Windows-only files: the base
// SFXProcess does nothing, and a command with a run-time action declares
//     #ifdef _WIN32
//       void SFXProcess(TSetupContext& ctx, int lineIndex) override;
//     #endif
// in its own header (commands/<keyword>_command.h) and defines it in
// commands/<keyword>_command_win.cpp. The native build (ferryc, portable
// tests) never sees those declarations, so it links without them, and the
// command table does not change when an action is added. In the Windows
// build the core therefore links the Windows layer (src/CMakeLists.txt).
#pragma once

#include <cstdint>
#include <string>

namespace ferry {

class TCompileContext;
struct TSetupContext;

class TCommandClass {
 public:
  TCommandClass(const char* keyword, bool isSetting, uint8_t groupKind, int minParams)
      : Keyword(keyword), IsSetting(isSetting), MinParams(minParams), group_kind_(groupKind) {}
  virtual ~TCommandClass() = default;
  TCommandClass(const TCommandClass&) = delete;
  TCommandClass& operator=(const TCommandClass&) = delete;

  const std::string Keyword;  // lower case
  const bool IsSetting;       // only fills the setup information record
  const int MinParams;        // fewer parameters are a compile error

  // Compile-time step for line lineIndex of ctx.Lines, whose CommandNo,
  // LineNo and script parameters the compiler has filled. The base checks the
  // minimum parameter count and, for a command with a payload group, appends
  // the next group number as the last parameter. Problems are reported with
  // ctx.Error; the line is then left as it was.
  virtual void CompileProcess(TCompileContext& ctx, int lineIndex);

  // Run-time action for the line at lineIndex of ctx.CompLines. Base: nothing.
  virtual void SFXProcess(TSetupContext& ctx, int lineIndex) {}

  // After the last line of a run, also one that was aborted or jumped past
  // the rest: finishes work a line left open for later lines. Base: nothing.
  virtual void EndOfRun(TSetupContext& ctx) {}

  // 0: no payload group; 1: extracts a group of files; 2: applies a group to
  // a product archive.
  virtual uint8_t GroupKind() const { return group_kind_; }

 protected:
  // Reports "<keyword> needs at least N parameter(s)" and returns false when
  // the line has fewer than MinParams.
  bool CheckParamCount(TCompileContext& ctx, int lineIndex) const;

 private:
  const uint8_t group_kind_;
};

}  // namespace ferry
