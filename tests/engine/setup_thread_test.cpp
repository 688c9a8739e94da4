#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "formats/install_log/uninstall_list.h"
#include "base/file_system.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "base/memory_file_system.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/files_in_use.h"
#include "engine/system.h"
#include "engine/progress_sinks.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "formats/languages/text_ids.h"
#include "base/text_helpers.h"
#include "wizard/wizard_test_support.h"

namespace ferry {

extern const CommandDescriptor kDeleteCommand;

namespace {

// Commands of the test: each records the line index it was given; "jump"
// assigns its first parameter to CurrentLine, "abort" stops the run,
// "throw" raises an error.
class RecordCommand : public CommandClass {
 public:
  explicit RecordCommand(std::vector<int>& seen) : CommandClass("record", false, 0, 0), seen_(seen) {}
  void SFXProcess(SetupContext&, const CommandRun&, int lineIndex) override { seen_.push_back(lineIndex); }

 private:
  std::vector<int>& seen_;
};

class JumpCommand : public CommandClass {
 public:
  explicit JumpCommand(std::vector<int>& seen) : CommandClass("jump", false, 0, 1), seen_(seen) {}
  void SFXProcess(SetupContext& ctx, const CommandRun&, int lineIndex) override {
    seen_.push_back(lineIndex);
    int32_t target = StrToIntOrMinus1(ctx.CompLines.Lines[lineIndex].Param(1));
    if (target >= 0) ctx.CurrentLine = target;
  }

 private:
  std::vector<int>& seen_;
};

class AbortCommand : public CommandClass {
 public:
  explicit AbortCommand(std::vector<int>& seen) : CommandClass("abort", false, 0, 0), seen_(seen) {}
  void SFXProcess(SetupContext& ctx, const CommandRun&, int lineIndex) override {
    seen_.push_back(lineIndex);
    ctx.Record.Stop("");
  }

 private:
  std::vector<int>& seen_;
};

class ThrowCommand : public CommandClass {
 public:
  ThrowCommand() : CommandClass("throw", false, 0, 0) {}
  void SFXProcess(SetupContext&, const CommandRun&, int) override { throw SetupError("disk on fire"); }
};

// Holds back one gauge step, as extraction does after each file.
class DeferStepCommand : public CommandClass {
 public:
  DeferStepCommand() : CommandClass("deferstep", false, 0, 0) {}
  void SFXProcess(SetupContext& ctx, const CommandRun&, int) override { ctx.Progress.DeferGaugeStep(); }
};

class FakePlatform : public SetupRunPlatform {
 public:
  int begins = 0, ends = 0;
  std::vector<std::string> forced;
  std::vector<std::string> created;  // what ForceDirectories reports as new
  std::vector<std::pair<std::string, std::string>> errors, fatals;

  void BeginRun() override { ++begins; }
  void EndRun() override { ++ends; }
  void ForceDirectories(const std::string& path,
                        const std::function<void(const std::string&)>& onCreated) override {
    forced.push_back(path);
    for (const std::string& dir : created) onCreated(dir);
  }
  void ReportError(std::string_view message, std::string_view stage) override {
    errors.push_back({std::string(message), std::string(stage)});
  }
  void Fatal(std::string_view message, std::string_view stage) override {
    fatals.push_back({std::string(message), std::string(stage)});
  }
};

class RecordingSinks : public ProgressSinks {
 public:
  std::vector<std::u16string> status, messages;
  std::vector<int32_t> positions;
  std::vector<std::string> problems;
  void SetStatusText(std::u16string_view text) override { status.emplace_back(text); }
  void SetMessageText(std::u16string_view text, bool) override { messages.emplace_back(text); }
  void SetGaugePosition(int32_t position) override { positions.push_back(position); }
  void ReportProblem(std::string_view text) override { problems.emplace_back(text); }
};

enum : int32_t { kRecord = 1, kJump = 2, kAbort = 3, kThrow = 4, kDeferStep = 5 };

// Every sink call in order, as one text each; the combined call is kept
// apart from its two halves.
class SequenceSinks : public ProgressSinks {
 public:
  std::vector<std::string> calls;
  void SetStatusText(std::u16string_view text) override { calls.push_back("status " + Utf16ToUtf8(text)); }
  void SetMessageText(std::u16string_view text, bool) override { calls.push_back("message " + Utf16ToUtf8(text)); }
  void SetGaugePosition(int32_t position) override { calls.push_back("gauge " + std::to_string(position)); }
  void SetGaugeAndStatusText(int32_t position, std::u16string_view text) override {
    calls.push_back("gauge " + std::to_string(position) + " + status " + Utf16ToUtf8(text));
  }
  void ReportProblem(std::string_view text) override { calls.push_back("problem " + std::string(text)); }
};

class SetupThreadTest : public ::testing::Test {
 protected:
  SetupThreadTest() {
    ctx_.Commands.Add(std::make_unique<RecordCommand>(seen_));
    ctx_.Commands.Add(std::make_unique<JumpCommand>(seen_));
    ctx_.Commands.Add(std::make_unique<AbortCommand>(seen_));
    ctx_.Commands.Add(std::make_unique<ThrowCommand>());
    ctx_.Commands.Add(std::make_unique<DeferStepCommand>());
    ctx_.Languages.Languages.push_back(testing::MakeLanguage(u"English", {{23, u"Setup failed to install patch."}}));
    ctx_.Languages.Current = 0;
    ctx_.SetupInfo.InstallDir = "C:\\Games\\Demo\\";
    ctx_.Progress.Bind(&sinks_);
  }

  // Appends a line; commandNo <= 0 makes a line that does nothing.
  void Line(int32_t commandNo, std::vector<std::string> params = {}) {
    CompLine line;
    if (commandNo > 0) {
      line.CommandNo = commandNo;
      line.LineNo = static_cast<int32_t>(ctx_.CompLines.Lines.size());
      for (auto& p : params) line.AddParam(p);
    }
    ctx_.CompLines.Lines.push_back(line);
  }

  RunOutcome Run() {
    ctx_.CurrentLine = -1;
    return RunCommands(ctx_, platform_);
  }

  SetupContext ctx_;
  std::vector<int> seen_;
  FakePlatform platform_;
  RecordingSinks sinks_;
};

TEST_F(SetupThreadTest, AStreamOfOneLineRunsNothingTwoLinesRunTheFirst) {
  Line(kRecord);
  Run();
  EXPECT_TRUE(seen_.empty());
  Line(0);
  Run();
  EXPECT_EQ(seen_, (std::vector<int>{0}));
  // The steps after the loop run either way.
  EXPECT_EQ(platform_.forced, (std::vector<std::string>{"C:\\Games\\Demo\\", "C:\\Games\\Demo\\"}));
  EXPECT_EQ(platform_.begins, 2);
  EXPECT_EQ(platform_.ends, 2);
}

TEST_F(SetupThreadTest, EveryLineWithACommandRunsInOrderWithItsOwnIndex) {
  Line(kRecord);
  Line(0);          // label or setting line
  Line(99);         // not a registered command
  Line(-5);
  Line(kRecord);
  Line(kRecord);
  Run();
  EXPECT_EQ(seen_, (std::vector<int>{0, 4, 5}));
  EXPECT_EQ(ctx_.CurrentLine, 5);
}

TEST_F(SetupThreadTest, AJumpContinuesAfterTheTargetLine) {
  Line(kJump, {"3"});  // 0
  Line(kRecord);       // 1: jumped over
  Line(kRecord);       // 2: jumped over
  Line(0);             // 3: label
  Line(kRecord);       // 4
  Line(kJump, {"7"});  // 5
  Line(kRecord);       // 6: jumped over
  Line(0);             // 7: label
  Line(kRecord);       // 8
  Line(kJump, {"x"});  // 9: not a number: no jump
  Line(kRecord);       // 10
  Run();
  EXPECT_EQ(seen_, (std::vector<int>{0, 4, 5, 8, 9, 10}));
}

TEST_F(SetupThreadTest, AJumpPastTheLastLineEndsTheRun) {
  Line(kJump, {"2147483647"});
  Line(kRecord);
  Line(kRecord);
  RunOutcome outcome = Run();
  EXPECT_EQ(seen_, (std::vector<int>{0}));
  EXPECT_FALSE(outcome.CycleStopped);
  EXPECT_FALSE(ctx_.Record.MustStop());
}

TEST_F(SetupThreadTest, AnAbortedRunIsUndoneAndLeavesNoLogAndNoRegistration) {
  ctx_.SetupInfo.MakeUninstaller = 1;
  // -1: the uninstaller written, before the first line; -2: marked finished.
  ctx_.RegisterUninstall = [&](SetupContext&, System*, bool finished) { seen_.push_back(finished ? -2 : -1); };
  Line(kRecord);
  Line(kAbort);
  Line(kRecord);
  RunOutcome outcome = Run();
  EXPECT_EQ(seen_, (std::vector<int>{-1, 0, 1}));
  EXPECT_TRUE(ctx_.Record.MustStop());
  EXPECT_TRUE(outcome.RolledBack);
  EXPECT_TRUE(platform_.forced.empty());
  EXPECT_FALSE(outcome.LogSaved);
}

TEST_F(SetupThreadTest, ARunWithAStepNotDoneSaysSoOnTheFinishPage) {
  class NotDoneCommand : public CommandClass {
   public:
    NotDoneCommand() : CommandClass("notdone", false, 0, 0) {}
    void SFXProcess(SetupContext& ctx, const CommandRun&, int) override { ctx.Record.NotDone("a shortcut"); }
  };
  ctx_.Commands.Add(std::make_unique<NotDoneCommand>());
  Line(kDeferStep + 1);
  Line(0);
  Run();
  EXPECT_EQ(ctx_.Record.ExitCode(), kExitIncomplete);
  // The table has no text 37: the English one.
  ASSERT_FALSE(sinks_.messages.empty());
  EXPECT_EQ(sinks_.messages.back(), u"Setup finished, but some steps were not done.");
}

TEST_F(SetupThreadTest, NoUninstallerMeansNoLogAndNoRegistration) {
  int registered = 0;
  ctx_.RegisterUninstall = [&](SetupContext&, System*, bool) { ++registered; };
  Line(kRecord);
  Line(0);
  RunOutcome outcome = Run();
  EXPECT_FALSE(outcome.LogSaved);
  EXPECT_EQ(registered, 0);
}

TEST_F(SetupThreadTest, ALogThatCannotBeSavedIsAFailedFile) {
  ctx_.SetupInfo.MakeUninstaller = 1;
  ctx_.SetupInfo.InstallDir = "/nonexistent/ferry/folder";
  ctx_.SetupInfo.UninstallPrefix = "Demo_";
  Line(kRecord);
  Line(0);
  RunOutcome outcome = Run();
  EXPECT_FALSE(outcome.LogSaved);
  auto failures = ctx_.Record.Failures();
  ASSERT_EQ(failures.size(), 2u);  // the file, then the stop that undid the run
  EXPECT_NE(failures[0].Path.find("Demo_install.log"), std::string::npos);
  EXPECT_EQ(failures[1].Effect, FailureEffect::kStopsRun);
  EXPECT_EQ(ctx_.Record.ExitCode(), kExitFailed);
  ASSERT_EQ(sinks_.problems.size(), 1u);
}

TEST_F(SetupThreadTest, ARunStartedAfterAnAbortStillRunsLineZero) {
  ctx_.Record.Stop("");
  Line(kRecord);
  Line(kRecord);
  Run();
  EXPECT_EQ(seen_, (std::vector<int>{0}));
}

TEST_F(SetupThreadTest, ACycleWithoutExitIsStoppedAsAFailure) {
  Line(0);             // 0: label
  Line(kRecord);       // 1
  Line(kJump, {"0"});  // 2: goto label
  Line(kRecord);       // 3: never reached
  RunOutcome outcome = Run();
  EXPECT_TRUE(outcome.CycleStopped);
  EXPECT_EQ(outcome.LinesRun, RunLineBudget(4));
  EXPECT_TRUE(ctx_.Record.MustStop());
  EXPECT_EQ(std::count(seen_.begin(), seen_.end(), 3), 0);
  ASSERT_EQ(sinks_.messages.size(), 1u);
  EXPECT_EQ(sinks_.messages[0], u"Setup failed to install patch.");
  ASSERT_EQ(platform_.errors.size(), 1u);
  EXPECT_EQ(platform_.errors[0].second, "Setup Thread");
  EXPECT_NE(platform_.errors[0].first.find("cycle"), std::string::npos);
  EXPECT_TRUE(outcome.RolledBack);  // a stopped run is a failed run: undone
}

TEST_F(SetupThreadTest, ARunThatEndsExactlyAtTheBudgetIsNotACycle) {
  // Two lines: the budget is far above what a straight run takes.
  EXPECT_EQ(RunLineBudget(2), 64u * 2 + 10000);
  for (int i = 0; i < 10; ++i) Line(kRecord);
  RunOutcome outcome = Run();
  EXPECT_FALSE(outcome.CycleStopped);
  EXPECT_EQ(outcome.LinesRun, 10u);
}

TEST_F(SetupThreadTest, ACommandGetsTheLinesOwnLineNo) {
  Line(kRecord);
  Line(kRecord);
  Line(kRecord);
  ctx_.CompLines.Lines[1].LineNo = 2;    // where its parameters are
  ctx_.CompLines.Lines[2].LineNo = 400;  // damaged: its own index is used
  Run();
  EXPECT_EQ(seen_, (std::vector<int>{0, 2, 2}));
}

TEST_F(SetupThreadTest, TheThreadRunsEachRunItIsHandedAndSaysWhenItIsOver) {
  Line(kRecord);
  Line(kRecord);
  SetupThread thread(ctx_, platform_);
  EXPECT_TRUE(thread.RunFinished());
  for (int run = 1; run <= 2; ++run) {
    thread.StartRun({});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!thread.RunFinished() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(thread.RunFinished());
    EXPECT_EQ(seen_.size(), static_cast<size_t>(2 * run));
    EXPECT_EQ(thread.LastRun().LinesRun, 2u);
  }
  thread.Stop();
  thread.WaitFor();
  EXPECT_TRUE(thread.Ended());
}

TEST_F(SetupThreadTest, AnErrorEscapingACommandEndsTheThreadWithoutTheEndSteps) {
  ctx_.SetupInfo.MakeUninstaller = 1;
  int registered = 0;
  ctx_.RegisterUninstall = [&](SetupContext&, System*, bool finished) { registered += finished; };
  Line(kThrow);
  Line(kRecord);
  SetupThread thread(ctx_, platform_);
  thread.StartRun({});
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!thread.Ended() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(thread.Ended());
  ASSERT_EQ(platform_.fatals.size(), 1u);
  EXPECT_EQ(platform_.fatals[0].first, "disk on fire");
  EXPECT_EQ(platform_.fatals[0].second, "Setup Thread");
  EXPECT_EQ(sinks_.problems, (std::vector<std::string>{"Every change of the run was undone: the product is as it was before."}));
  EXPECT_TRUE(platform_.forced.empty());
  EXPECT_EQ(registered, 0);
  EXPECT_TRUE(seen_.empty());
}

TEST(ProgressTest, StepsCountEveryCallAndMoveTheGaugeOnlyWhenShown) {
  RunProgress progress;
  progress.StepGauge(true);  // no sinks yet: counted all the same
  RecordingSinks sinks;
  progress.Bind(&sinks);
  progress.StepGauge(false);
  progress.StepGauge(true);
  progress.SetStatusText(u"Extracting a");
  progress.SetMessageText(u"Done", true);
  EXPECT_EQ(progress.GaugeSteps(), 3);
  EXPECT_EQ(sinks.positions, (std::vector<int32_t>{3}));
  EXPECT_EQ(sinks.status, (std::vector<std::u16string>{u"Extracting a"}));
  EXPECT_EQ(sinks.messages, (std::vector<std::u16string>{u"Done"}));
}

TEST(ProgressTest, AHeldBackStepRidesWithTheNextStatusText) {
  RunProgress progress;
  SequenceSinks sinks;
  progress.Bind(&sinks);
  progress.SetStatusText(u"Extracting a");
  progress.DeferGaugeStep();
  progress.SetStatusText(u"Extracting b");
  progress.DeferGaugeStep();
  progress.SetStatusText(u"");
  EXPECT_EQ(progress.GaugeSteps(), 2);
  EXPECT_EQ(sinks.calls, (std::vector<std::string>{"status Extracting a", "gauge 1 + status Extracting b",
                                                   "gauge 2 + status "}));
}

TEST(ProgressTest, EveryOtherCallMovesAHeldBackStepFirst) {
  RunProgress progress;
  SequenceSinks sinks;
  progress.Bind(&sinks);
  progress.DeferGaugeStep();
  progress.SetMessageText(u"Done", false);
  progress.DeferGaugeStep();
  progress.Problem("odd");
  progress.DeferGaugeStep();
  progress.StepGauge(true);
  progress.DeferGaugeStep();
  progress.DeferGaugeStep();
  progress.FlushGauge();
  progress.FlushGauge();  // nothing left to move
  EXPECT_EQ(progress.GaugeSteps(), 6);
  EXPECT_EQ(sinks.calls, (std::vector<std::string>{"gauge 1", "message Done", "gauge 2", "problem odd", "gauge 3",
                                                   "gauge 4", "gauge 5", "gauge 6"}));
}

// A sink that does not combine the two sees them one after the other.
TEST(ProgressTest, PlainSinksGetTheStepThenTheStatusText) {
  RunProgress progress;
  RecordingSinks sinks;
  progress.Bind(&sinks);
  progress.DeferGaugeStep();
  progress.SetStatusText(u"Extracting b");
  EXPECT_EQ(sinks.positions, (std::vector<int32_t>{1}));
  EXPECT_EQ(sinks.status, (std::vector<std::u16string>{u"Extracting b"}));
}

TEST_F(SetupThreadTest, AStepHeldBackByTheLastLineShowsBeforeTheRunEnds) {
  Line(kDeferStep);
  Line(kDeferStep);
  Run();
  EXPECT_EQ(ctx_.Progress.GaugeSteps(), 2);
  EXPECT_EQ(sinks_.positions, (std::vector<int32_t>{1, 2}));
}

class RecordingBoxes : public FailureListener {
 public:
  void ShowFailure(const RunFailure& f) override { shown.push_back(f.BoxCaption + ": " + f.What); }
  std::vector<std::string> shown;
};

TEST(RunRecordTest, EachFailureIsSaidOnceInItsOwnWayWithItsLine) {
  RunProgress progress;
  RecordingSinks sinks;
  progress.Bind(&sinks);
  RunRecord record(progress);
  RecordingBoxes boxes;
  record.SetListener(&boxes);
  record.SetLine(7);
  record.FileNotWritten("C:\\dir\\\\a.txt", "locked");  // a separator doubled by a join shows once
  record.NotDone("something else");
  record.Report(FailureEffect::kStopsRun, "Error: Unable to find <x.vfs>", "VFS Error", DialogIcon::kNone);
  record.Stop("said by the summary");
  EXPECT_EQ(sinks.problems, (std::vector<std::string>{"Cannot write C:\\dir\\a.txt: locked", "something else"}));
  EXPECT_EQ(boxes.shown, (std::vector<std::string>{"VFS Error: Error: Unable to find <x.vfs>"}));
  const auto failures = record.Failures();
  ASSERT_EQ(failures.size(), 4u);
  EXPECT_EQ(failures[0].Line, 7);
  EXPECT_TRUE(record.MustStop());
}

TEST(RunRecordTest, TheWorstFailureDecidesTheExitCode) {
  struct Case {
    std::vector<FailureEffect> effects;
    int exitCode;
    bool mustStop;
  };
  const std::vector<Case> cases = {
      {{}, kExitDone, false},
      {{FailureEffect::kWarning}, kExitDone, false},
      {{FailureEffect::kWarning, FailureEffect::kRestartNeeded}, kExitRestartNeeded, false},
      {{FailureEffect::kRestartNeeded, FailureEffect::kNotDone}, kExitIncomplete, false},
      {{FailureEffect::kNotDone, FailureEffect::kFailsRun}, kExitFailed, false},
      {{FailureEffect::kStopsRun}, kExitFailed, true},
      {{FailureEffect::kFailsRun, FailureEffect::kCancelled}, kExitCancelled, true},
      {{FailureEffect::kCancelled, FailureEffect::kFolderBusy}, kExitFolderBusy, true},
      {{FailureEffect::kFolderBusy, FailureEffect::kRefused, FailureEffect::kStopsRun}, kExitStartupError, true},
  };
  for (const Case& c : cases) {
    RunProgress progress;
    RunRecord record(progress);
    for (FailureEffect e : c.effects) record.Report(e, "x", "", DialogIcon::kNone);
    EXPECT_EQ(record.ExitCode(), c.exitCode) << c.effects.size();
    EXPECT_EQ(record.MustStop(), c.mustStop) << c.effects.size();
    EXPECT_EQ(record.FailedSince(0), c.exitCode != kExitDone && c.exitCode != kExitIncomplete && c.exitCode != kExitRestartNeeded) << c.effects.size();
  }
}

// Files in use: a "delete" of a file a running program holds, over files in
// memory, with the prompt's answers scripted.
class HeldSystem : public System {
 public:
  explicit HeldSystem(MemoryFileSystem& files) : files_(files) {}
  FileSystem& Files() override { return files_; }
  std::string ResolveCdDrivePath(const std::string& path) override { return path; }
  std::optional<std::string> ReadRegistryString(int, const std::string&, const std::string&) override { return {}; }
  RegistryWrite WriteRegistryString(int, const std::string&, const std::string&, const std::string&) override {
    return RegistryWrite::kDone;
  }
  bool CreateShellLink(const ShellLink&) override { return false; }
  bool StartProgram(const std::string&, const std::string&, std::unique_ptr<StartedProgram>*) override { return false; }
  std::vector<HeldFile> FindHeldFiles(const std::vector<std::string>& paths) override {
    std::vector<HeldFile> found;
    for (const std::string& p : paths)
      if (held && files_.FileExists(p)) found.push_back({p, {"Atlas"}});
    return found;
  }
  bool MoveAtRestart(const std::string& from, const std::string& to) override {
    moves.push_back({from, to});
    return movesTaken;
  }
  bool held = true;
  bool movesTaken = true;
  std::vector<std::pair<std::string, std::string>> moves;

 private:
  MemoryFileSystem& files_;
};

class ScriptedPrompt : public HeldFilesPrompt {
 public:
  ScriptedPrompt(std::vector<HeldFilesAnswer> answers, HeldSystem& system)
      : answers_(std::move(answers)), system_(system) {}
  HeldFilesAnswer Ask(const std::vector<HeldFile>& held, bool) override {
    ++asked;
    HeldFilesAnswer a = answers_.at(static_cast<size_t>(asked - 1));
    if (a == HeldFilesAnswer::kRetry) system_.held = false;  // the program was closed meanwhile
    return a;
  }
  int asked = 0;

 private:
  std::vector<HeldFilesAnswer> answers_;
  HeldSystem& system_;
};

TEST(HeldFilesTest, AHeldFileIsSettledBeforeTheRunChangesAnything) {
  using A = HeldFilesAnswer;
  struct Case {
    const char* name;
    std::vector<A> answers;  // empty: no prompt
    bool movesTaken;
    int exitCode;
    bool fileStays;
    size_t moves;
  };
  const std::vector<Case> cases = {
      {"no prompt", {}, true, kExitFailed, true, 0},
      {"stop", {A::kStop}, true, kExitFailed, true, 0},
      {"cancel", {A::kCancel}, true, kExitCancelled, true, 0},
      {"retry, then free", {A::kRetry}, true, kExitDone, false, 0},
      {"at the restart", {A::kAtRestart}, true, kExitRestartNeeded, true, 1},
      {"the system refuses the move", {A::kAtRestart}, false, kExitFailed, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem files;
    files.CreateDirectory("C:\\app");
    files.Put("C:\\app\\a.txt", {'a'});
    HeldSystem system(files);
    system.movesTaken = c.movesTaken;
    ScriptedPrompt prompt(c.answers, system);
    SetupContext ctx;
    RecordingSinks sinks;
    ctx.Progress.Bind(&sinks);
    ctx.Languages.Languages.push_back(testing::MakeLanguage(u"English", {{23, u"Setup failed."}}));
    ctx.Languages.Current = 0;
    ctx.SetupInfo.InstallDir = "C:\\app\\";
    ctx.Commands.Add(std::make_unique<CommandClass>(kDeleteCommand));
    CompLine line;
    line.CommandNo = 1;
    line.LineNo = 0;
    line.AddParam("$INSTDIR\\a.txt");
    ctx.CompLines.Lines = {line, CompLine()};
    FakePlatform platform;
    RunCommands(ctx, platform, {.RealSystem = &system, .Held = c.answers.empty() ? nullptr : &prompt});
    EXPECT_EQ(ctx.Record.ExitCode(), c.exitCode);
    EXPECT_EQ(files.FileExists("C:\\app\\a.txt"), c.fileStays);
    EXPECT_EQ(system.moves.size(), c.moves);
    if (c.moves) {
      EXPECT_EQ(system.moves[0], (std::pair<std::string, std::string>{"C:\\app\\a.txt", ""}));
    }
    // The finish page says that a restart completes the run.
    if (c.exitCode == kExitRestartNeeded) {
      ASSERT_FALSE(sinks.messages.empty());
      EXPECT_EQ(sinks.messages.back(), kRestartToCompleteEnglish);
    }
    // Stopped before its journal: nothing of the run is left in the folder.
    if (c.exitCode == kExitFailed || c.exitCode == kExitCancelled) {
      EXPECT_EQ(files.Paths(), std::vector<std::string>{"C:\\app\\a.txt"});
    }
    if (c.exitCode == kExitFailed && c.moves == 0) {
      ASSERT_FALSE(sinks.problems.empty());
      EXPECT_EQ(sinks.problems[0],
                "Cannot write C:\\app\\a.txt: it is in use by Atlas; close the program and run the setup again");
    }
  }
}

}  // namespace
}  // namespace ferry
