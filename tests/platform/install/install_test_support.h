// A setup context with the real command table, an English language table
// and an archive built in memory, for the tests of the run-time commands.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "base/dialogs.h"
#include "engine/command_run.h"
#include "engine/progress_sinks.h"
#include "engine/run_journal/journaled_run.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "platform/files.h"
#include "platform/win_system.h"
#include "wizard/wizard_test_support.h"
#include "platform/temp_dir.h"

namespace ferry::testing {

inline std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline std::string ReadText(const std::string& path) {
  auto data = ReadWholeFile(path);
  return data ? std::string(data->begin(), data->end()) : std::string("<missing>");
}

inline void WriteText(const std::string& path, std::string_view text) {
  ASSERT_TRUE(WriteFileCreatingDirs(path, Bytes(text), nullptr));
}

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

struct PayloadFile {
  std::string name;
  std::string data;
  uint16_t group;
};

// The run's failure boxes into the recorded dialogs, as the app shows them.
class BoxesOfFailures : public FailureListener {
 public:
  explicit BoxesOfFailures(Dialogs& dialogs) : dialogs_(dialogs) {}
  void ShowFailure(const RunFailure& f) override { dialogs_.Show(f.What, f.BoxCaption, DialogButtons::kOk, f.BoxIcon); }

 private:
  Dialogs& dialogs_;
};

class InstallFixture {
 public:
  explicit InstallFixture(const std::string& tag) : tmp_(tag) {
    RegisterCommands(ctx.Commands);
    ctx.Languages.Languages.push_back(MakeLanguage(u"English", {{17, u"Copying File <%FILENAME%>"},
                                                                {18, u"Extracting <%FILENAME%>"},
                                                                {23, u"Setup failed to install patch."}}));
    ctx.Languages.Current = 0;
    ctx.SetupInfo.InstallDir = tmp_.path() + "app\\";
    ctx.Folders.ProgramFilesDir = "C:\\Program Files\\";
    ctx.Progress.Bind(&sinks);
    ctx.Dialog = &dialogs;
    ctx.Record.SetListener(&boxes_);
  }
  ~InstallFixture() {
    ctx.Record.SetListener(nullptr);
    ctx.Progress.Bind(nullptr);
  }

  const std::string& Temp() const { return tmp_.path(); }
  std::string InstallDir() const { return ctx.SetupInfo.InstallDir; }

  void SetPayload(const std::vector<PayloadFile>& files) {
    archive_ = std::make_unique<MemoryFile>();
    {
      PakWriter writer = PakWriter::Create(*archive_);
      for (const PayloadFile& f : files) writer.StoreBuffer(writer.AddEntry(f.name, "", f.group), Bytes(f.data));
      writer.WriteDirectory();
    }
    pak_ = std::make_unique<PakReader>(*archive_);
    ctx.Pak = pak_.get();
  }

  // Appends a line of the keyword's command with these parameters; its index.
  int Line(std::string_view keyword, std::vector<std::string> params) {
    CompLine line;
    line.CommandNo = ctx.Commands.FindKeyword(keyword);
    line.LineNo = static_cast<int32_t>(ctx.CompLines.Lines.size());
    for (auto& p : params) line.AddParam(std::move(p));
    ctx.CompLines.Lines.push_back(std::move(line));
    return static_cast<int>(ctx.CompLines.Lines.size()) - 1;
  }
  // A line that does nothing (a label).
  int Label() {
    ctx.CompLines.Lines.emplace_back();
    return static_cast<int>(ctx.CompLines.Lines.size()) - 1;
  }

  // Runs one line's command directly.
  void RunLine(int index) {
    const CompLine& line = ctx.CompLines.Lines[static_cast<size_t>(index)];
    ctx.Commands.Find(line.CommandNo)->SFXProcess(ctx, CommandRun(&system), index);
  }
  // Appends a line and runs it.
  void Run(std::string_view keyword, std::vector<std::string> params) { RunLine(Line(keyword, std::move(params))); }

  // A run of the commands on the real system, its install folder claimed
  // as a setup's run claims it.
  RunArguments RunArgs() { return {.RealSystem = &system, .Folder = &folder}; }

  SetupContext ctx;
  RecordingSinks sinks;
  RecordingDialogs dialogs;
  WinSystem system;
  InstallFolderClaim folder{system};

 private:
  BoxesOfFailures boxes_{dialogs};
  TempDir tmp_;
  std::unique_ptr<MemoryFile> archive_;
  std::unique_ptr<PakReader> pak_;
};

}  // namespace ferry::testing
