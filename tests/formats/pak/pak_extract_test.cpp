#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/pak/crc32.h"
#include "base/file_system.h"
#include "formats/pak/pak_codec.h"
#include "formats/pak/group_extractor.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "base/setup_error.h"
#include "formats/pak/pak_test_util.h"

namespace ferry {
namespace {

using test::AppendDirectory;
using test::Bytes;

// One extraction run of `group` into `target`.
bool Extract(const PakReader& pak, const std::string& target, uint16_t group, ExtractEvents events = {}) {
  return GroupExtractor(pak, DiskFileSystem(), std::move(events)).Extract(target, group);
}

// Everything extraction reports, in order.
struct Recorder {
  std::vector<std::string> log;
  int steps = 0;
  ExtractEvents Events() {
    ExtractEvents ev;
    ev.EntryStarted = [this](const std::string& s) { log.push_back("status " + s); };
    ev.Copying = [this](const std::string& s, uint64_t copied, uint64_t size) {
      log.push_back("copy " + s + " " + std::to_string(copied) + " / " + std::to_string(size));
    };
    ev.GroupDone = [this] { log.push_back("status "); };
    ev.EntryDone = [this] { ++steps; };
    ev.FileWritten = [this](const std::string& s) { log.push_back("file " + s); };
    ev.DirectoryCreated = [this](const std::string& s) { log.push_back("dir " + s); };
    ev.NameRefused = [this](const std::string& s) { log.push_back("refused " + s); };
    return ev;
  }
};

class PakExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("ferry_pak_extract_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    root_text_ = root_.string();
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  // The logical path the archive side builds: backslashes below the target.
  static std::filesystem::path Native(const std::string& logical) {
    std::string s = logical;
#ifndef _WIN32
    for (char& c : s)
      if (c == '\\') c = '/';
#endif
    return std::filesystem::path(s);
  }

  std::filesystem::path root_;
  std::string root_text_;
};

TEST_F(PakExtractTest, WritesTheGroupAndReportsEverything) {
  MemoryFile file;
  {
    PakWriter w = PakWriter::Create(file);
    w.StoreBuffer(w.AddEntry("readme.txt", "", 1), Bytes("read me, read me, read me"));
    w.StoreBuffer(w.AddEntry("other-group.txt", "", 2), Bytes("not this one"));
    w.StoreBuffer(w.AddEntry("units\\configs\\training.txt", "", 1), Bytes("training"));
    w.StoreBuffer(w.AddEntry("units\\b.txt", "", 1), Bytes("b"));
    w.WriteDirectory();
  }
  PakReader pak(file);
  Recorder rec;
  std::string target = root_text_ + "\\inst";
  EXPECT_TRUE(Extract(pak, target, 1, rec.Events()));
  std::vector<std::string> expected = {
      "status readme.txt",
      "file " + target + "\\readme.txt",
      "dir " + target,
      "status units\\configs\\training.txt",
      "file " + target + "\\units\\configs\\training.txt",
      "dir " + target + "\\units",
      "dir " + target + "\\units\\configs",
      "status units\\b.txt",
      "file " + target + "\\units\\b.txt",
      "status ",
  };
  EXPECT_EQ(rec.log, expected);
  EXPECT_EQ(rec.steps, 3);
  EXPECT_EQ(ReadFileBytes(Native(target + "\\units\\configs\\training.txt")), Bytes("training"));
  EXPECT_EQ(ReadFileBytes(Native(target + "\\readme.txt")), Bytes("read me, read me, read me"));
  EXPECT_FALSE(std::filesystem::exists(Native(target + "\\other-group.txt")));

  // A second run finds the folders there and reports none; files are rewritten.
  rec.log.clear();
  EXPECT_TRUE(Extract(pak, target, 1, rec.Events()));
  EXPECT_EQ(std::count_if(rec.log.begin(), rec.log.end(), [](auto& s) { return s.rfind("dir ", 0) == 0; }), 0);
}

// Extraction checks a folder once for the entries that follow in it; a
// later run must not trust what an earlier one saw.
TEST_F(PakExtractTest, AFolderRemovedBetweenRunsIsCreatedAgain) {
  MemoryFile file;
  {
    PakWriter w = PakWriter::Create(file);
    w.StoreBuffer(w.AddEntry("data\\a.txt", "", 1), Bytes("a"));
    w.StoreBuffer(w.AddEntry("data\\b.txt", "", 1), Bytes("b"));
    w.WriteDirectory();
  }
  PakReader pak(file);
  Recorder rec;
  std::string target = root_text_ + "\\inst";
  ASSERT_TRUE(Extract(pak, target, 1, rec.Events()));
  std::filesystem::remove_all(Native(target + "\\data"));
  rec.log.clear();
  EXPECT_TRUE(Extract(pak, target, 1, rec.Events()));
  EXPECT_EQ(std::count(rec.log.begin(), rec.log.end(), "dir " + target + "\\data"), 1);
  EXPECT_EQ(ReadFileBytes(Native(target + "\\data\\a.txt")), Bytes("a"));
  EXPECT_EQ(ReadFileBytes(Native(target + "\\data\\b.txt")), Bytes("b"));

  // The same for a large entry copied on its own after a run.
  std::filesystem::remove_all(Native(target + "\\data"));
  EXPECT_TRUE(GroupExtractor(pak, DiskFileSystem(), {}).CopyLargeEntry(target + "\\data\\a.txt", "a.txt", 1, 0));
  EXPECT_TRUE(std::filesystem::exists(Native(target + "\\data\\a.txt")));
}

TEST_F(PakExtractTest, RefusesNamesThatLeaveTheTarget) {
  const std::vector<std::string> bad = {"..\\evil.txt", "a\\..\\..\\evil.txt", "..",  "C:\\evil.txt",
                                        "c:evil.txt",   "\\evil.txt",         "/evil.txt", "x/../../evil.txt",
                                        "folder\\",     "file.txt:stream"};
  MemoryFile file;
  {
    PakWriter w = PakWriter::Create(file);
    for (const auto& name : bad) w.StoreBuffer(w.AddEntry(name, "", 1), Bytes("evil"));
    w.StoreBuffer(w.AddEntry("a..b\\..c.txt", "", 1), Bytes("fine"));  // dots, but no ".." step
    w.WriteDirectory();
  }
  std::filesystem::create_directories(root_ / "in" / "deep");
  std::string target = root_text_ + "\\in\\deep";
  PakReader pak(file);
  Recorder rec;
  EXPECT_FALSE(Extract(pak, target, 1, rec.Events()));
  size_t refused = std::count_if(rec.log.begin(), rec.log.end(), [](auto& s) { return s.rfind("refused ", 0) == 0; });
  EXPECT_EQ(refused, bad.size());
  EXPECT_EQ(rec.steps, static_cast<int>(bad.size() + 1));
  EXPECT_EQ(ReadFileBytes(Native(target + "\\a..b\\..c.txt")), Bytes("fine"));
  // Nothing at all was written anywhere else below the test folder.
  size_t files = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(root_))
    if (e.is_regular_file()) ++files;
  EXPECT_EQ(files, 1u);
}

TEST_F(PakExtractTest, EntryThatFailsToLoadLeavesNoFile) {
  std::vector<uint8_t> bytes = Bytes("hostDATA");
  AppendDirectory(bytes, {{"bad.txt", 0x12345678, 4, 0, 4, 1}});  // wrong checksum
  MemoryFile file(bytes);
  PakReader pak(file);
  EXPECT_FALSE(Extract(pak, root_text_, 1));
  EXPECT_TRUE(std::filesystem::is_empty(Native(root_text_)));  // neither the file nor its scratch name
}

// Remembers the length of every read the archive makes.
class RecordingFile : public MemoryFile {
 public:
  using MemoryFile::MemoryFile;
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    reads.push_back({offset, out.size()});
    return MemoryFile::ReadAt(offset, out);
  }
  std::vector<std::pair<uint64_t, size_t>> reads;
};

// 80,000,000 bytes: the copy is reported before each 26,214,400
// of them; the bytes go through a buffer of 1 MiB.
TEST_F(PakExtractTest, LargeEntryIsCopiedInChunks) {
  const uint32_t size = 80'000'000;
  std::vector<uint8_t> bytes(8 + size);
  std::memcpy(bytes.data(), "hosthost", 8);
  for (uint32_t i = 0; i < size; i += 4096) bytes[8 + i] = static_cast<uint8_t>(i >> 12);
  uint32_t dataCrc = Crc32({bytes.data() + 8, size});
  AppendDirectory(bytes, {{"big.dat", 0, 8, 0, size, 4}}, 8);
  RecordingFile file(std::move(bytes));
  PakReader pak(file);
  Recorder rec;
  EXPECT_TRUE(pak.VerifyEntry(0));
  file.reads.clear();

  ASSERT_TRUE(Extract(pak, root_text_ + "\\out", 4, rec.Events()));
  std::vector<std::string> expected = {
      "status big.dat",
      "file " + root_text_ + "\\out\\big.dat",
      "dir " + root_text_ + "\\out",
      "copy big.dat 0 / 80000000",
      "copy big.dat 26214400 / 80000000",
      "copy big.dat 52428800 / 80000000",
      "copy big.dat 78643200 / 80000000",
      "status ",
  };
  EXPECT_EQ(rec.log, expected);
  // Read in order through one buffer of kVerifyChunkSize, whatever the size.
  uint64_t next = 8;
  for (const auto& [offset, length] : file.reads) {
    EXPECT_EQ(offset, next);
    EXPECT_LE(length, kVerifyChunkSize);
    next = offset + length;
  }
  EXPECT_EQ(next, 8 + uint64_t{size});
  auto written = ReadFileBytes(Native(root_text_ + "\\out\\big.dat"));
  ASSERT_EQ(written.size(), size);
  EXPECT_EQ(Crc32(written), dataCrc);
}

// 73,400,320 bytes is large (copied, never loaded); one byte less is loaded.
TEST_F(PakExtractTest, ThresholdDecidesBetweenCopyAndLoad) {
  MemoryFile file;
  {
    PakWriter w = PakWriter::Create(file);
    std::vector<uint8_t> zeros(kLargeEntryThreshold - 1, 0);
    ASSERT_TRUE(w.StoreBuffer(w.AddEntry("below.dat", "", 1), zeros));
    zeros.push_back(0);
    ASSERT_TRUE(w.StoreBuffer(w.AddEntry("large.dat", "", 1), zeros));
    w.WriteDirectory();
  }
  PakReader pak(file);
  ASSERT_GT(pak.Files()[0].CompSize, 0u);
  ASSERT_EQ(pak.Files()[1].CompSize, 0u);
  Recorder rec;
  ASSERT_TRUE(Extract(pak, root_text_, 1, rec.Events()));
  std::vector<std::string> statuses;
  for (auto& s : rec.log)
    if (s.rfind("status ", 0) == 0 || s.rfind("copy ", 0) == 0) statuses.push_back(s);
  EXPECT_EQ(statuses, (std::vector<std::string>{"status below.dat", "status large.dat",
                                                "copy large.dat 0 / 73400320",
                                                "copy large.dat 26214400 / 73400320",
                                                "copy large.dat 52428800 / 73400320", "status "}));
  EXPECT_EQ(std::filesystem::file_size(Native(root_text_ + "\\below.dat")), kLargeEntryThreshold - 1);
  EXPECT_EQ(std::filesystem::file_size(Native(root_text_ + "\\large.dat")), kLargeEntryThreshold);
}

TEST_F(PakExtractTest, CopyLargeEntryRefusesBytesThatAreNotThere) {
  std::vector<uint8_t> bytes = Bytes("host-data");
  AppendDirectory(bytes, {{"big", 0, 4, 0, kLargeEntryThreshold, 1}});
  MemoryFile file(bytes);
  PakReader pak(file);
  GroupExtractor extractor(pak, DiskFileSystem(), {});
  EXPECT_FALSE(extractor.CopyLargeEntry(root_text_ + "\\big", "big", kLargeEntryThreshold, 0));
  EXPECT_EQ(std::filesystem::file_size(Native(root_text_ + "\\big")), 0u);
  EXPECT_FALSE(extractor.CopyLargeEntry(root_text_ + "\\none", "none", 10, 5));
}

// An entry of several chunks, either codec: unpacked in pieces of at most
// kStreamChunkSize into its file; damaged, it leaves an empty file and is
// reported, never a wrong file counted as written.
TEST_F(PakExtractTest, EntriesStreamInChunksAndDamageNeverReplacesTheFile) {
  std::vector<uint8_t> data(3'500'000);
  uint32_t x = 7;
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 251 < 200 ? 'a' + i % 7 : (x = x * 1103515245u + 12345u) >> 24);
  for (bool zstd : {false, true}) {
    SCOPED_TRACE(zstd ? "zstd" : "zlib");
    MemoryFile file;
    {
      PakWriter w = PakWriter::Create(file);
      if (zstd) w.SetCompressor([](std::span<const uint8_t> d) { return ZstdPack(d, 3); });
      ASSERT_TRUE(w.StoreBuffer(w.AddEntry("big.dat", "", 1), data));
      w.WriteDirectory();
    }
    PakReader pak(file);
    const PakFile e = pak.Files()[0];
    ASSERT_GT(e.CompSize, 0u);
    std::vector<uint8_t> joined;
    size_t pieces = 0;
    ASSERT_TRUE(pak.StreamEntry(0, [&](std::span<const uint8_t> piece) {
      EXPECT_LE(piece.size(), kStreamChunkSize);
      ++pieces;
      joined.insert(joined.end(), piece.begin(), piece.end());
    }));
    EXPECT_GT(pieces, 1u);
    EXPECT_EQ(joined, data);
    ASSERT_TRUE(Extract(pak, root_text_, 1));
    EXPECT_EQ(ReadFileBytes(Native(root_text_ + "\\big.dat")), data);

    std::vector<uint8_t> bytes = file.Data();
    bytes[e.Offset + e.CompSize - 10] ^= 0x01;  // after most of the entry has been written
    MemoryFile damagedFile(bytes);
    PakReader damaged(damagedFile);
    std::vector<std::string> notWritten;
    ExtractEvents ev;
    ev.FileNotWritten = [&](const std::string& path, const std::string& why) { notWritten.push_back(why); };
    EXPECT_FALSE(Extract(damaged, root_text_, 1, ev));
    EXPECT_EQ(notWritten, std::vector<std::string>{"checksum mismatch"});
    EXPECT_EQ(ReadFileBytes(Native(root_text_ + "\\big.dat")), data);  // the earlier file stays whole
    for (const auto& entry : std::filesystem::directory_iterator(Native(root_text_)))  // no scratch file stays
      EXPECT_NE(entry.path().filename().string().rfind("~ferry-", 0), 0u) << entry.path();
  }
}

}  // namespace
}  // namespace ferry
