#include <gtest/gtest.h>

#include <map>

#include "base/setup_error.h"
#include "base/text.h"
#include "formats/vfs/vfs_update.h"
#include "vfs_test_util.h"

namespace ferry {
namespace {

using namespace vfstest;

const std::string kInstall = "C:\\game";

class FakeSource : public VfsEntrySource {
 public:
  void Add(uint32_t group, std::string name, std::optional<std::vector<uint8_t>> data) {
    size_t index = data_.size();
    uint32_t size = data ? uint32_t(data->size()) : 10;
    groups_[group].push_back({index, std::move(name), size});
    data_.push_back(std::move(data));
  }
  std::vector<VfsGroupEntry> GroupEntries(uint32_t group) override { return groups_[group]; }
  // As the setup archive does, an empty entry loads as nothing.
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index) override {
    const auto& data = data_.at(index);
    if (data && data->empty()) return std::nullopt;
    return data;
  }

 private:
  std::map<uint32_t, std::vector<VfsGroupEntry>> groups_;
  std::vector<std::optional<std::vector<uint8_t>>> data_;
};

class FakeUi : public VfsUpdateUi {
 public:
  std::u16string Text(int id, std::span<const VfsTextMacro> macros) override {
    static const std::map<int, std::string> kTexts{{19, "Processing <%RKPNAME%>: <%FNUM%> of <%FTOTAL%> files"},
                                                   {20, "Writing <%RKPNAME%>`s Header"},
                                                   {23, "Setup failed to install patch."},
                                                   {29, "Loading <%RKPNAME%>"}};
    std::u16string text = CodePageToUtf16(kTexts.at(id));
    for (const auto& m : macros) {
      std::u16string key = CodePageToUtf16(m.Name);
      for (size_t at; (at = text.find(key)) != std::u16string::npos;) text.replace(at, key.size(), m.Value);
    }
    return text;
  }
  void SetStatusText(const std::u16string& t) override { status.push_back(Utf16ToUtf8(t)); }
  void StepGauge(bool counted) override { steps.push_back(counted); }

  std::vector<std::string> status;
  std::vector<bool> steps;
};

class VfsUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateVfsArchive(fs, kPath, Small(256, 128, 8, true)); }
  VfsUpdateSession& Command() {
    if (!command) {
      command = std::make_unique<VfsUpdateSession>(fs, source, ui);
      command->SetToday(kDate);
    }
    return *command;
  }
  MemoryFileSystem fs;
  FakeSource source;
  FakeUi ui;
  std::unique_ptr<VfsUpdateSession> command;
};

TEST_F(VfsUpdateTest, WritesTheGroupWithCaptionsAndSteps) {
  source.Add(1, "units\\a.txt", Text(100));
  source.Add(1, "units\\b.txt", Noise(100));
  source.Add(1, "c.txt", std::vector<uint8_t>{});
  source.Add(2, "other.txt", Text(5));
  Command().Run({"src", "data.vfs", "1"}, kInstall);
  std::vector<std::string> expected{"Loading data.vfs",
                                    "Processing data.vfs: 0 of 3 files",
                                    "Processing data.vfs: 0 of 3 files",
                                    "Processing data.vfs: 1 of 3 files",
                                    "Processing data.vfs: 2 of 3 files",
                                    "Processing data.vfs: 3 of 3 files",
                                    "Writing data.vfs`s Header"};
  EXPECT_EQ(ui.status, expected);
  EXPECT_EQ(ui.steps, (std::vector<bool>{false, true, true}));
  EXPECT_FALSE(Command().HasOpenArchive());
  EXPECT_EQ(ReadBack(fs, "units\\b.txt"), Noise(100));
  EXPECT_EQ(ReadBack(fs, "c.txt"), std::vector<uint8_t>{});
  EXPECT_EQ(ReadBack(fs, "other.txt"), std::vector<uint8_t>{0xEE});  // not in the group
  EXPECT_TRUE(CheckVfsArchive(fs, kPath).Ok());
  EXPECT_EQ(ParseHashFile(*fs.Find(kSide)).size(), 3u);
}

TEST_F(VfsUpdateTest, EmptyGroupDoesNothingAndNeedsNoArchive) {
  fs.RemoveFile(kPath);
  EXPECT_TRUE(Command().Run({"src", "data.vfs", "7"}, kInstall));
  EXPECT_TRUE(ui.status.empty());
}

TEST_F(VfsUpdateTest, MissingArchiveIsAVerdictAndChangesNothing) {
  source.Add(1, "a.txt", Text(5));
  EXPECT_FALSE(Command().Run({"src", "missing.vfs", "1"}, kInstall));
  EXPECT_TRUE(ui.status.empty());
  EXPECT_FALSE(Command().HasOpenArchive());
}

TEST_F(VfsUpdateTest, CloseFlagKeepsTheArchiveOpenUntilTheNextArchiveOrTheEnd) {
  const std::string second = kInstall + "\\more\\second.vfs";
  CreateVfsArchive(fs, second, Small());
  source.Add(1, "a.txt", Text(50));
  source.Add(2, "b.txt", Text(60));
  source.Add(3, "c.txt", Text(70));
  Command().Run({"src", "data.vfs", "0", "1"}, kInstall);
  EXPECT_TRUE(Command().HasOpenArchive());
  EXPECT_TRUE(fs.FileExists(VfsJournal::PathFor(kPath)));  // changed, not yet flushed
  ui.status.clear();
  Command().Run({"src", "more\\second.vfs", "1", "2"}, kInstall);
  EXPECT_EQ(ui.status.front(), "Writing data.vfs`s Header");
  EXPECT_EQ(ui.status[1], "Loading more\\second.vfs");
  EXPECT_EQ(ui.status.back(), "Writing more\\second.vfs`s Header");
  EXPECT_FALSE(Command().HasOpenArchive());
  EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath)));
  EXPECT_TRUE(CheckVfsArchive(fs, kPath).Ok());

  Command().Run({"src", "data.vfs", "no", "3"}, kInstall);
  EXPECT_TRUE(Command().HasOpenArchive());
  Command().Finish();
  EXPECT_FALSE(Command().HasOpenArchive());
  EXPECT_EQ(ReadBack(fs, "c.txt"), Text(70));
  EXPECT_TRUE(CheckVfsArchive(fs, kPath).Ok());
}

TEST_F(VfsUpdateTest, AFailureLeavesTheArchiveAsItWas) {
  source.Add(1, "a.txt", Text(50));
  Command().Run({"src", "data.vfs", "1"}, kInstall);
  const auto before = *fs.Find(kPath);
  source.Add(2, "b.txt", Text(60));
  source.Add(2, "broken.txt", std::nullopt);  // unreadable entry
  EXPECT_THROW(Command().Run({"src", "data.vfs", "2"}, kInstall), SetupError);
  EXPECT_FALSE(Command().HasOpenArchive());
  EXPECT_EQ(*fs.Find(kPath), before);
  EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath)));

  source.Add(3, std::string("big.bin"), Noise(256 * 200));  // more than the archive holds
  EXPECT_THROW(Command().Run({"src", "data.vfs", "3"}, kInstall), SetupError);
  EXPECT_EQ(*fs.Find(kPath), before);
}

TEST_F(VfsUpdateTest, ADamagedArchiveIsRefusedBeforeAnyWrite) {
  source.Add(1, "a.txt", Text(50));
  const std::vector<uint8_t> sound = *fs.Find(kPath);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> flipped = sound;
  flipped.back() ^= 0x5A;  // a byte the digest covers
  const std::vector<Case> cases{{"cut short", {sound.begin(), sound.begin() + sound.size() / 2}},
                                {"byte changed", flipped}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs.Put(kPath, c.bytes);
    VfsUpdateSession session(fs, source, ui);
    try {
      session.Run({"src", "data.vfs", "1"}, kInstall);
      ADD_FAILURE() << "the damaged archive was updated";
    } catch (const SetupError& e) {
      EXPECT_NE(std::string(e.what()).find("The VFS archive C:\\game\\data.vfs is damaged ("), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(*fs.Find(kPath), c.bytes);
    EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath)));
  }
}

TEST_F(VfsUpdateTest, BadParameters) {
  source.Add(1, "a.txt", Text(5));
  EXPECT_THROW(Command().Run({"src", "data.vfs"}, kInstall), SetupError);
  EXPECT_THROW(Command().Run({"src", "data.vfs", "x1"}, kInstall), SetupError);
}

}  // namespace
}  // namespace ferry
