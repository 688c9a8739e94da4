// The run journal over a file system in memory: a failed run and a killed
// one (and a killed recovery) leave the product exactly as it was; a
// finished run leaves nothing of the journal behind.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <ostream>
#include <stdexcept>

#include "base/memory_file_system.h"
#include "base/random_name.h"
#include "engine/run_journal/journaled_files.h"
#include "engine/run_journal/run_journal.h"
#include "engine/run_journal/run_recovery.h"
#include "formats/run_journal/run_journal_format.h"

namespace ferry {
namespace {

std::vector<uint8_t> B(const std::string& s) { return {s.begin(), s.end()}; }

// Files and registry values, and nothing else of the system.
class MemorySystem : public System {
 public:
  explicit MemorySystem(MemoryFileSystem& files) : files_(files) {}
  FileSystem& Files() override { return files_; }
  std::string ResolveCdDrivePath(const std::string& path) override { return path; }
  std::optional<std::string> ReadRegistryString(int, const std::string& key, const std::string& name) override {
    auto it = values.find(key + "|" + name);
    return it == values.end() ? std::string() : it->second;
  }
  RegistryWrite WriteRegistryString(int, const std::string& key, const std::string& name,
                                    const std::string& value) override {
    values[key + "|" + name] = value;
    return RegistryWrite::kDone;
  }
  RegistryWrite WriteRegistryDword(int, const std::string& key, const std::string& name, uint32_t value) override {
    values.erase(key + "|" + name);
    dwords[key + "|" + name] = value;
    return RegistryWrite::kDone;
  }
  RegistryValueState QueryRegistryValue(int, const std::string& key, const std::string& name) override {
    RegistryValueState state;
    state.KeyExisted = true;
    if (auto it = values.find(key + "|" + name); it != values.end()) state.Value = it->second;
    if (auto it = dwords.find(key + "|" + name); it != dwords.end()) state.Dword = it->second;
    return state;
  }
  bool RestoreRegistryValue(int, const std::string& key, const std::string& name,
                            const RegistryValueState& before) override {
    values.erase(key + "|" + name);
    dwords.erase(key + "|" + name);
    if (before.Value) values[key + "|" + name] = *before.Value;
    if (before.Dword) dwords[key + "|" + name] = *before.Dword;
    return true;
  }
  bool CreateShellLink(const ShellLink&) override { return false; }
  bool StartProgram(const std::string&, const std::string&, std::unique_ptr<StartedProgram>*) override { return false; }
  ProcessIdentity CurrentProcess() override { return {7, 1}; }

  std::map<std::string, std::string> values;
  std::map<std::string, uint32_t> dwords;

 private:
  MemoryFileSystem& files_;
};

struct Snapshot {
  std::map<std::string, std::vector<uint8_t>> Files;
  std::map<std::string, std::string> Values;
  bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& s, std::ostream* os) {
  for (const auto& [path, bytes] : s.Files) *os << path << "=" << std::string(bytes.begin(), bytes.end()) << "; ";
  for (const auto& [name, value] : s.Values) *os << name << "=" << value << "; ";
}

class RunJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.CreateDirectory("C:\\app");
    files_.Put("C:\\app\\old.txt", B("old"));
    files_.Put("C:\\app\\gone.txt", B("gone"));
    files_.Put("C:\\app\\ro.txt", B("read-only"));
    files_.SetReadOnly("C:\\app\\ro.txt");
    system_.values["Software\\Atlas|Version"] = "1.1";
    system_.dwords["Software\\Atlas|Size"] = 4;
    system_.dwords["Software\\Atlas|Count"] = 3;
  }

  Snapshot Now() {
    Snapshot s;
    for (const std::string& p : files_.Paths()) s.Files[p] = *files_.Find(p);
    s.Values = system_.values;
    for (const auto& [name, value] : system_.dwords) s.Values[name] = "dword " + std::to_string(value);
    return s;
  }

  // A patch: a new file, a replaced one (as extraction does it), a removed
  // one, a read-only one replaced, a new folder with a file, registry values
  // (a DWORD changed, one deleted).
  void Patch(RunJournal& journal) {
    JournaledFileSystem files(files_, journal);
    JournaledSystem system(system_, files, journal);
    files.Open("C:\\app\\new.txt", FileMode::kCreate)->WriteAt(0, B("new"));
    files.Open("C:\\app\\~ferry-new.tmp", FileMode::kCreate)->WriteAt(0, B("old, patched"));
    ASSERT_TRUE(files.RenameFile("C:\\app\\~ferry-new.tmp", "C:\\app\\old.txt"));
    ASSERT_TRUE(files.RemoveFile("C:\\app\\gone.txt"));
    files.Open("C:\\app\\~ferry-new.tmp", FileMode::kCreate)->WriteAt(0, B("writable now"));
    ASSERT_TRUE(files.RenameFile("C:\\app\\~ferry-new.tmp", "C:\\app\\ro.txt"));
    ASSERT_TRUE(ForceDirectories(files, "C:\\app\\sub\\deep\\"));
    files.Open("C:\\app\\sub\\deep\\f.txt", FileMode::kCreate)->WriteAt(0, B("f"));
    system.WriteRegistryString(2, "Software\\Atlas", "Version", "1.2");
    system.WriteRegistryString(2, "Software\\Atlas", "Extra", "x");
    system.WriteRegistryDword(2, "Software\\Atlas", "Size", 12);
    ASSERT_TRUE(system.DeleteRegistryValue(2, "Software\\Atlas", "Count"));
  }

  MemoryFileSystem files_;
  MemorySystem system_{files_};
};

TEST_F(RunJournalTest, AFailedRunIsUndoneExactly) {
  Snapshot before = Now();
  RunJournal journal(files_, "C:\\app", {7, 1});
  Patch(journal);
  EXPECT_EQ(files_.Find("C:\\app\\ro.txt") ? *files_.Find("C:\\app\\ro.txt") : B(""), B("writable now"));
  EXPECT_TRUE(journal.RollBack(&system_).empty());
  EXPECT_EQ(Now(), before);
  EXPECT_TRUE(files_.IsReadOnly("C:\\app\\ro.txt"));
  EXPECT_FALSE(files_.DirectoryExists("C:\\app\\sub\\"));
}

TEST_F(RunJournalTest, AFinishedRunLeavesNoJournalAndNothingSetAside) {
  RunJournal journal(files_, "C:\\app", {7, 1});
  Patch(journal);
  journal.Commit();
  std::vector<std::string> expected = {"C:\\app\\new.txt", "C:\\app\\old.txt", "C:\\app\\ro.txt",
                                       "C:\\app\\sub\\deep\\f.txt"};
  EXPECT_EQ(files_.Paths(), expected);
  EXPECT_EQ(*files_.Find("C:\\app\\old.txt"), B("old, patched"));
}

// A test build's fault hook hears of every record, with the count so far.
TEST_F(RunJournalTest, FaultsHearOfEveryRecordNoted) {
  struct Heard : JournalFaults {
    void RecordNoted(size_t records) override { counts.push_back(records); }
    std::vector<size_t> counts;
  } heard;
  RunJournal journal(files_, "C:\\app", {7, 1}, &heard);
  Patch(journal);
  std::optional<RunJournalContents> written = ParseRunJournal(*files_.Find(journal.Path()));
  ASSERT_TRUE(written);
  std::vector<size_t> expected(written->Records.size());
  std::iota(expected.begin(), expected.end(), size_t{1});
  EXPECT_EQ(heard.counts, expected);
}

// A killed run, then a recovery killed after each of its changes in turn,
// then a recovery that finishes: always the product as it was.
TEST_F(RunJournalTest, AKilledRunIsUndoneEvenWhenItsRecoveryIsKilled) {
  Snapshot before = Now();
  {
    RunJournal journal(files_, "C:\\app", {7, 1});
    Patch(journal);
  }  // no Commit, no RollBack: the process died
  const Snapshot killed = Now();
  const auto killedValues = system_.values;
  const auto killedDwords = system_.dwords;
  const bool readOnly = files_.IsReadOnly("C:\\app\\ro.txt");
  for (int stopAt = 1;; ++stopAt) {
    SCOPED_TRACE(stopAt);
    for (const std::string& p : files_.Paths()) files_.MakeWritable(p), files_.RemoveFile(p);
    for (const auto& [path, bytes] : killed.Files) files_.Put(path, bytes);
    if (readOnly) files_.SetReadOnly("C:\\app\\ro.txt");
    system_.values = killedValues;
    system_.dwords = killedDwords;
    int changes = 0;
    files_.SetChangeHook([&](const MemoryFileSystem::Change&) {
      if (++changes == stopAt) throw std::runtime_error("killed");
    });
    bool finished = true;
    try {
      RecoverUnfinishedRun(files_, &system_, "C:\\app");
    } catch (const std::runtime_error&) {
      finished = false;
    }
    files_.SetChangeHook({});
    RecoveryReport report = RecoverUnfinishedRun(files_, &system_, "C:\\app");
    EXPECT_TRUE(report.NotUndone.empty());
    EXPECT_EQ(Now(), before);
    if (finished) break;
  }
}

// Payload files as extraction writes them: a new one, a replaced one, a
// read-only one replaced, one written twice in a folder of the run's own,
// and damaged ones, replacing and new, that are never placed. A new file in
// the folder the run made is written at its own name, in two writes: a stop
// between them leaves it partial there; one beside the product's files is
// staged. One record each; rolled back, committed, or stopped at any
// change and recovered, the product is as it should be and nothing of the
// run stays.
TEST_F(RunJournalTest, StagedFilesTakeOneRecordEachAndLeaveNothingBehind) {
  const Snapshot before = Now();
  auto stage = [&](RunJournal& journal) {
    JournaledFileSystem files(files_, journal);
    ASSERT_TRUE(ForceDirectories(files, "C:\\app\\sub\\"));
    for (std::string name :
         {"new.txt", "old.txt", "ro.txt", "sub\\a.txt", "sub\\a.txt", "gone.txt", "sub\\bad.txt"}) {
      const std::string target = "C:\\app\\" + name;
      const std::string scratch = target.substr(0, target.rfind('\\') + 1) + "~ferry-new.tmp";
      const bool existed = files_.FileExists(target);
      const bool fresh = !existed && name.rfind("sub\\", 0) == 0;
      std::unique_ptr<StagedFile> file = files.CreateStagedOrFresh(scratch, target);
      ASSERT_TRUE(file);
      const std::vector<uint8_t> bytes = B(name + ", new");
      file->File().WriteAt(0, std::span(bytes).first(3));
      EXPECT_EQ(files_.FileExists(target), existed || fresh) << target;
      EXPECT_EQ(files_.FileExists(scratch), !fresh) << target;
      file->File().WriteAt(3, std::span(bytes).subspan(3));
      if (name != "gone.txt" && name != "sub\\bad.txt") ASSERT_TRUE(file->Place());
    }
  };
  {
    RunJournal journal(files_, "C:\\app", {7, 1});
    stage(journal);
    std::optional<RunJournalContents> written = ParseRunJournal(*files_.Find(journal.Path()));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->Records.size(), 8u);  // the folder and seven files
    EXPECT_TRUE(journal.RollBack(&system_).empty());
    EXPECT_EQ(Now(), before);
    EXPECT_TRUE(files_.IsReadOnly("C:\\app\\ro.txt"));
    EXPECT_FALSE(files_.DirectoryExists("C:\\app\\sub"));
  }
  {
    RunJournal journal(files_, "C:\\app", {7, 1});
    stage(journal);
    journal.Commit();
    std::vector<std::string> expected = {"C:\\app\\gone.txt", "C:\\app\\new.txt", "C:\\app\\old.txt",
                                         "C:\\app\\ro.txt", "C:\\app\\sub\\a.txt"};
    EXPECT_EQ(files_.Paths(), expected);
    EXPECT_EQ(*files_.Find("C:\\app\\ro.txt"), B("ro.txt, new"));
    EXPECT_EQ(*files_.Find("C:\\app\\gone.txt"), B("gone"));
  }
  for (int stopAt = 1;; ++stopAt) {
    SCOPED_TRACE(stopAt);
    for (const std::string& p : files_.Paths()) files_.MakeWritable(p), files_.RemoveFile(p);
    files_.RemoveDirectory("C:\\app\\sub");
    for (const auto& [path, bytes] : before.Files) files_.Put(path, bytes);
    files_.SetReadOnly("C:\\app\\ro.txt");
    // The state just before change number stopAt, as a kill there leaves it.
    Snapshot killed;
    std::vector<std::string> readOnly;
    bool subThere = false;
    int changes = 0;
    files_.SetChangeHook([&](const MemoryFileSystem::Change&) {
      if (++changes != stopAt) return;
      killed = Now();
      subThere = files_.DirectoryExists("C:\\app\\sub");
      for (const std::string& p : files_.Paths())
        if (files_.IsReadOnly(p)) readOnly.push_back(p);
    });
    {
      RunJournal journal(files_, "C:\\app", {7, 1});
      stage(journal);
    }
    files_.SetChangeHook({});
    if (changes < stopAt) break;
    for (const std::string& p : files_.Paths()) files_.MakeWritable(p), files_.RemoveFile(p);
    if (!subThere) files_.RemoveDirectory("C:\\app\\sub");
    for (const auto& [path, bytes] : killed.Files) files_.Put(path, bytes);
    for (const std::string& p : readOnly) files_.SetReadOnly(p);
    EXPECT_TRUE(RecoverUnfinishedRun(files_, &system_, "C:\\app").NotUndone.empty());
    EXPECT_EQ(Now(), before);
    EXPECT_TRUE(files_.IsReadOnly("C:\\app\\ro.txt"));
    EXPECT_FALSE(files_.DirectoryExists("C:\\app\\sub"));
  }
}

// An uninstaller the killed run wrote undoes that run: its own file stays
// (a running program cannot delete itself), what it replaced goes, and the
// rest is undone.
TEST_F(RunJournalTest, TheRunningProgramKeepsItsFileWhenItUndoesARun) {
  files_.Put("C:\\app\\uninst.exe", B("old uninstaller"));
  Snapshot before = Now();
  {
    RunJournal journal(files_, "C:\\app", {7, 1});
    JournaledFileSystem files(files_, journal);
    std::unique_ptr<StagedFile> file = files.CreateStaged(RandomScratchPath("C:\\app\\"), "C:\\app\\uninst.exe");
    ASSERT_TRUE(file);
    file->File().WriteAt(0, B("new uninstaller"));
    ASSERT_TRUE(file->Place());
    Patch(journal);
  }  // killed
  RecoveryReport report = RecoverUnfinishedRun(files_, &system_, "C:\\app", "C:\\APP\\uninst.exe");
  EXPECT_TRUE(report.NotUndone.empty());
  before.Files["C:\\app\\uninst.exe"] = B("new uninstaller");
  EXPECT_EQ(Now(), before);
}

TEST_F(RunJournalTest, AJournalOfARunThatStillGoesIsLeftAlone) {
  class Running : public MemorySystem {
   public:
    using MemorySystem::MemorySystem;
    bool IsProcessRunning(const ProcessIdentity& p) override { return p.Id == 7; }
  } running(files_);
  {
    RunJournal journal(files_, "C:\\app", {7, 1});
    Patch(journal);
  }
  Snapshot during = Now();
  RecoveryReport report = RecoverUnfinishedRun(files_, &running, "C:\\app");
  EXPECT_TRUE(report.LeftAlone);
  EXPECT_EQ(Now(), during);
}

// What a program of lesser rights may have written is not acted on: a
// journal found at start is reported and left as it is; a file set aside is
// not put back under its name.
TEST_F(RunJournalTest, AJournalOrASetAsideFileTheSystemDoesNotTrustIsNotReplayed) {
  class Distrusting : public MemorySystem {
   public:
    Distrusting(MemoryFileSystem& files, bool journalToo) : MemorySystem(files), journal_too_(journalToo) {}
    std::string WhyNotTrusted(const std::string& path) override {
      const bool journal = path == RunJournalPath("C:\\app");
      return journal && !journal_too_ ? "" : "it is a link to another file";
    }
    bool journal_too_;
  };
  {
    RunJournal journal(files_, "C:\\app", {7, 1});
    Patch(journal);
  }
  const Snapshot killed = Now();
  Distrusting all(files_, true);
  RecoveryReport report = RecoverUnfinishedRun(files_, &all, "C:\\app");
  EXPECT_EQ(report.Untrusted, "it is a link to another file");
  EXPECT_EQ(Now(), killed);
  EXPECT_NE(RecoverySummary(report, "C:\\app").find("C:\\app\\~ferry-run.journal was not replayed"),
            std::string::npos);

  Distrusting asides(files_, false);
  report = RecoverUnfinishedRun(files_, &asides, "C:\\app");
  EXPECT_TRUE(report.Untrusted.empty());
  ASSERT_FALSE(report.NotUndone.empty());
  EXPECT_EQ(report.NotUndone.front().rfind("Not restored: C:\\app\\~ferry-", 0), 0u) << report.NotUndone.front();
  EXPECT_FALSE(files_.Find("C:\\app\\gone.txt"));  // set aside by the run, and left there
}

// Anything already at the journal's name (a link, a folder) is never written
// through: the journal is not opened and no change can be noted.
TEST_F(RunJournalTest, AJournalNameThatIsTakenRefusesEveryChange) {
  ASSERT_TRUE(files_.CreateDirectory(RunJournalPath("C:\\app")));
  const Snapshot before = Now();
  RunJournal journal(files_, "C:\\app", {7, 1});
  EXPECT_FALSE(journal.Begin({}));
  EXPECT_NE(journal.Problem().find("already there"), std::string::npos) << journal.Problem();
  JournaledFileSystem files(files_, journal);
  EXPECT_FALSE(files.Open("C:\\app\\new.txt", FileMode::kCreate));
  EXPECT_EQ(Now(), before);
}

}  // namespace
}  // namespace ferry
