// Writing setups, reading them back, and writing their scripts back.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/pak/pak_reader.h"
#include "base/setup_error.h"
#include "script_writeback.h"
#include "setup_reading.h"
#include "setup_writer.h"
#include "test_util.h"
#include "formats/pak/pe_test_util.h"

namespace ferry::tool {
namespace {

using test::Compile;
using test::Errors;
using test::TempDir;
namespace fs = std::filesystem;

// A setup with every kind of line the write-back has to place.
const char kScript[] =
    "; a comment\n"
    "name \"Round Trip\"\n"
    "shortname RT\n"
    "outfile rt.exe\n"
    "installdir \"$PROGRAMFILES\\Round Trip\\\"\n"
    "installdirregkey HKCU Software\\RT\\ Path\n"
    "changelog Changes.rtf\n"
    "pages Patch\n"
    "uninstallpages Uninstall\n"
    "prefix RT\n"
    "language English\n"
    "uninstalllanguage English\n"
    "@pages ui\\Pages.txt\n"
    "@layout ui\\welcome.txt\n"
    "@changelog Changes.rtf\n"
    "@uninstall ui\\upages.txt Pages.txt\n"
    "@icon icon.ico\n"
    "file Files\\\n"
    "iffileexists \"$INSTDIR\\x y.txt\" 0 Skip\n"
    "rkpupdate Pak\\ \"pass word\" data.rkp\n"
    "skip:\n"
    "vfsupdate Vfs\\ game.vfs 1\n"
    "messagebox \"Say \"\"yes\"\"\" Caption skip 0\n"
    "goto END\n"
    "\n"
    "end:\n";

void Populate(const TempDir& dir) {
  dir.WriteLanguage("English");
  dir.Write("ui/Pages.txt", "[Pages]\r\nwelcome.txt\r\n");
  dir.Write("ui/upages.txt", "[Pages]\r\n");  // a page list naming a layout needs that layout
  dir.Write("ui/welcome.txt", "[L]\r\nType=TLabel\r\n");
  dir.Write("Changes.rtf", "{\\rtf1 x}");
  dir.WriteBytes("icon.ico", {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 22, 0, 0, 0});
  dir.Write("Files/readme.txt", std::string(5000, 'r'));
  dir.Write("Files/bin/tool.dat", "tool");
  dir.Write("Files/empty.txt", "");
  dir.Write("Pak/units/a.txt", "units");
  dir.Write("Vfs/maps/m.bin", std::string("\x01\x02\x03", 3));
  dir.Write("stub.exe", std::string("MZ-stub-") + std::string(300, '\0'));
}

fs::path Build(const TempDir& dir, const fs::path& script, const fs::path& stub, const fs::path& out) {
  CompileOptions options;
  options.Script = script;
  CompileResult r = CompileScriptFile(options);
  EXPECT_TRUE(r.Ok) << Errors(r);
  std::vector<Diagnostic> diags;
  EXPECT_TRUE(WriteSetup(r.Setup, stub, out, script.string(), diags)) << (diags.empty() ? "" : diags[0].Message);
  return out;
}

TEST(SetupFile, TheSetupIsTheStubFollowedByAReadableArchive) {
  TempDir dir;
  Populate(dir);
  fs::path script = dir.Write("rt.fss", kScript);
  fs::path out = Build(dir, script, dir.path() / "stub.exe", dir.path() / "rt.exe");
  std::vector<uint8_t> stub = ReadFileBytes(dir.path() / "stub.exe");
  std::vector<uint8_t> setup = ReadFileBytes(out);
  ASSERT_GT(setup.size(), stub.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), setup.begin()));

  OpenedSetup s(out);
  EXPECT_EQ(s.ArchiveProblem(), "");
  EXPECT_EQ(s.Pak().Trailer().DataStart, stub.size());
  for (size_t i = 0; i < s.Pak().EntryCount(); ++i) EXPECT_TRUE(CheckEntry(s, i).Sound) << i;
  EXPECT_TRUE(CheckStructure(s).empty());
  auto info = s.SetupInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->ShortTitle, "RT");
  EXPECT_EQ(info->MakeUninstaller, 1);
  uint32_t size = 0;
  auto readme = s.Pak().LoadByName("readme.txt", 1, &size);
  ASSERT_TRUE(readme);
  EXPECT_EQ(readme->size(), 5000u);
  EXPECT_EQ(s.Pak().Entry(s.Pak().EntryCount() - 1)->Group, 3);
}

// A signed stub cannot stay signed once the archive follows it: the setup
// starts with the unsigned program, ready to be signed itself.
TEST(SetupFile, ASignedStubIsWrittenUnsigned) {
  TempDir dir;
  Populate(dir);
  fs::path script = dir.Write("rt.fss", kScript);
  std::vector<uint8_t> program = ferry::test::PeImage(true, 203);
  std::vector<uint8_t> signedStub = program;
  ferry::test::AppendCertificates(signedStub, true, 5, {900});
  dir.WriteBytes("signed.exe", signedStub);
  fs::path out = Build(dir, script, dir.path() / "signed.exe", dir.path() / "rt.exe");
  std::vector<uint8_t> expected = program;
  expected.insert(expected.end(), 5, 0);  // the signer's padding stays: it may be the program's own
  ferry::test::PutLe(expected, ferry::test::kPeCheckSumAt, 0, 4);
  std::vector<uint8_t> setup = ReadFileBytes(out);
  ASSERT_GT(setup.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), setup.begin()));
  OpenedSetup s(out);
  EXPECT_EQ(s.ArchiveProblem(), "");
  EXPECT_EQ(s.Pak().Trailer().DataStart, expected.size());

  // A table that is not where the directory says: no setup that could never start.
  ferry::test::SetSecurityEntry(signedStub, true, static_cast<uint32_t>(program.size() + 5), 800);
  dir.WriteBytes("damaged.exe", signedStub);
  CompileOptions options;
  options.Script = script;
  CompileResult r = CompileScriptFile(options);
  std::vector<Diagnostic> diags;
  EXPECT_FALSE(WriteSetup(r.Setup, dir.path() / "damaged.exe", dir.path() / "bad.exe", "rt.fss", diags));
  ASSERT_EQ(diags.size(), 1u);
  EXPECT_EQ(diags[0].Message, "the stub's certificate table is damaged");
  EXPECT_FALSE(fs::exists(dir.path() / "bad.exe"));
}

TEST(SetupFile, TheSameInputsGiveTheSameBytes) {
  TempDir dir;
  Populate(dir);
  fs::path script = dir.Write("rt.fss", kScript);
  Build(dir, script, dir.path() / "stub.exe", dir.path() / "one.exe");
  Build(dir, script, dir.path() / "stub.exe", dir.path() / "two.exe");
  EXPECT_EQ(ReadFileBytes(dir.path() / "one.exe"), ReadFileBytes(dir.path() / "two.exe"));
}

TEST(SetupFile, AFailedWriteLeavesNoSetupAndKeepsAnOldOne) {
  TempDir dir;
  Populate(dir);
  CompileOptions options;
  options.Script = dir.Write("rt.fss", kScript);
  CompileResult r = CompileScriptFile(options);
  ASSERT_TRUE(r.Ok) << Errors(r);
  dir.Write("rt.exe", "old setup");
  std::vector<Diagnostic> diags;
  EXPECT_FALSE(WriteSetup(r.Setup, dir.path() / "no-stub.exe", dir.path() / "rt.exe", "rt.fss", diags));
  ASSERT_EQ(diags.size(), 1u);
  EXPECT_NE(diags[0].Message.find("stub"), std::string::npos);
  // A payload file that vanished after compiling: reported with its script line.
  fs::remove(dir.path() / "Files" / "bin" / "tool.dat");
  diags.clear();
  EXPECT_FALSE(WriteSetup(r.Setup, dir.path() / "stub.exe", dir.path() / "rt.exe", "rt.fss", diags));
  ASSERT_EQ(diags.size(), 1u);
  EXPECT_EQ(diags[0].Line, 18);
  EXPECT_EQ(ReadFileBytes(dir.path() / "rt.exe"), std::vector<uint8_t>({'o', 'l', 'd', ' ', 's', 'e', 't', 'u', 'p'}));
  EXPECT_FALSE(fs::exists(dir.path() / "rt.exe.ferryc-part"));
}

TEST(SetupFile, TheWrittenBackScriptCompilesToTheSameBytes) {
  TempDir dir;
  Populate(dir);
  const std::string text = std::string(kScript) + "@version \"2.1 beta\"\n@publisher \"R & T\"\n";
  fs::path setup = Build(dir, dir.Write("rt.fss", text), dir.path() / "stub.exe", dir.path() / "rt.exe");
  OpenedSetup s(setup);
  auto info = s.SetupInfo();
  auto lines = s.CompiledLines();
  ASSERT_TRUE(info && lines);
  WriteBack wb = WriteBackScript(*info, *lines, s.Pak().Files(), s.ProductInfo());
  EXPECT_TRUE(wb.Notes.empty()) << wb.Notes[0];
  EXPECT_EQ(wb.Lines.size(), lines->Lines.size());
  // Labels sit where the jumps land, named after their line.
  EXPECT_EQ(wb.Lines[20], "line21:");
  EXPECT_EQ(wb.Lines[22], "messagebox \"Say \"\"yes\"\"\" Caption line21 0");
  EXPECT_EQ(wb.Lines[19], "rkpupdate Pak\\ \"pass word\" data.rkp");

  TempDir again;
  for (const WriteBackFile& f : wb.Files) {
    std::string rel = f.RelPath;
    for (char& c : rel)
      if (c == '\\') c = '/';
    ExtractEntry(s, f.EntryIndex, again.path() / rel);
  }
  fs::path script = again.Write("setup.fss", wb.Text());
  fs::path rebuilt = Build(again, script, dir.path() / "stub.exe", again.path() / "rt.exe");
  EXPECT_EQ(ReadFileBytes(rebuilt), ReadFileBytes(setup));
}

// "compression zstd": every compressed entry is a zstd frame and reads back
// as the zlib setup's does, damage is named alike, and the written-back
// script says so and compiles to the same bytes.
TEST(SetupFile, ZstdSetupsReadBackLikeZlibOnes) {
  TempDir dir;
  Populate(dir);
  const fs::path stub = dir.path() / "stub.exe";
  fs::path zlib = Build(dir, dir.Write("rt.fss", kScript), stub, dir.path() / "zlib.exe");
  fs::path zstd = Build(dir, dir.Write("rz.fss", std::string(kScript) + "compression zstd\n"), stub,
                        dir.path() / "zstd.exe");
  OpenedSetup a(zlib), b(zstd);
  ASSERT_EQ(a.Pak().EntryCount(), b.Pak().EntryCount());
  EXPECT_FALSE(UsesZstd(a));
  EXPECT_TRUE(UsesZstd(b));
  size_t readme = 0;
  for (size_t i = 0; i < b.Pak().EntryCount(); ++i) {
    const PakFile& e = *b.Pak().Entry(i);
    EXPECT_EQ(EntryMethod(b, e), e.CompSize ? "zstd" : "stored") << e.Name;
    EXPECT_TRUE(CheckEntry(b, i).Sound) << e.Name;
    if (e.Name != "CompiledLines") EXPECT_EQ(b.Pak().LoadEntry(i), a.Pak().LoadEntry(i)) << e.Name;
    if (e.Name == "readme.txt") readme = i;
  }

  for (const fs::path& setup : {zlib, zstd}) {
    std::vector<uint8_t> bytes = ReadFileBytes(setup);
    bytes[OpenedSetup(setup).Pak().Entry(readme)->Offset + 5] ^= 0x20;
    OpenedSetup bad(dir.WriteBytes("bad.exe", bytes));
    EXPECT_EQ(CheckEntry(bad, readme).State, "checksum mismatch") << setup;
    EXPECT_THROW(ExtractEntry(bad, readme, dir.path() / "x" / "readme.txt"), SetupError);
    EXPECT_FALSE(fs::exists(dir.path() / "x" / "readme.txt"));
  }

  auto info = b.SetupInfo();
  auto lines = b.CompiledLines();
  ASSERT_TRUE(info && lines);
  WriteBack wb = WriteBackScript(*info, *lines, b.Pak().Files(), b.ProductInfo(), true);
  EXPECT_EQ(std::count(wb.Lines.begin(), wb.Lines.end(), "compression zstd"), 1);
  ASSERT_EQ(wb.Notes.size(), 1u);
  EXPECT_NE(wb.Notes[0].find("zstd level"), std::string::npos);
  TempDir again;
  for (const WriteBackFile& f : wb.Files) {
    std::string rel = f.RelPath;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    ExtractEntry(b, f.EntryIndex, again.path() / rel);
  }
  fs::path rebuilt = Build(again, again.Write("setup.fss", wb.Text()), stub, again.path() / "zstd.exe");
  EXPECT_EQ(ReadFileBytes(rebuilt), ReadFileBytes(zstd));
}

TEST(SetupFile, DamageIsFoundAndNamed) {
  TempDir dir;
  Populate(dir);
  fs::path setup = Build(dir, dir.Write("rt.fss", kScript), dir.path() / "stub.exe", dir.path() / "rt.exe");
  std::vector<uint8_t> bytes = ReadFileBytes(setup);
  size_t damaged = 0;
  {
    OpenedSetup s(setup);
    for (size_t i = 0; i < s.Pak().EntryCount(); ++i)
      if (s.Pak().Entry(i)->Name == "readme.txt") damaged = i;
    bytes[s.Pak().Entry(damaged)->Offset + 3] ^= 0x55;
  }
  fs::path bad = dir.WriteBytes("bad.exe", bytes);
  OpenedSetup s(bad);
  EntryCheck c = CheckEntry(s, damaged);
  EXPECT_FALSE(c.Sound);
  EXPECT_FALSE(c.State.empty());
  EXPECT_THROW(ExtractEntry(s, damaged, dir.path() / "x" / "readme.txt"), SetupError);

  // Cut short: the trailer is gone.
  bytes.resize(bytes.size() - 5);
  OpenedSetup cut(dir.WriteBytes("cut.exe", bytes));
  EXPECT_NE(cut.ArchiveProblem(), "");
  OpenedSetup tiny(dir.Write("tiny.exe", "MZ"));
  EXPECT_NE(tiny.ArchiveProblem(), "");
}

TEST(SetupFile, WriteBackNotesWhatCannotComeBack) {
  SetupInfoRecord info = CompilerDefaultSetupInfo();
  info.SetupExeName = "x.exe";
  info.UninstallExeName = "Remove.exe";  // no "prefix" line gives this
  CompLineList lines;
  lines.Lines.resize(2);
  lines.Lines[0].CommandNo = 1;  // goto
  lines.Lines[0].LineNo = 0;
  lines.Lines[0].Params = {"7"};  // beyond the stream
  lines.Lines[0].ParamCount = 1;
  WriteBack wb = WriteBackScript(info, lines, {});
  auto noted = [&](const std::string& text) {
    return std::any_of(wb.Notes.begin(), wb.Notes.end(),
                       [&](const std::string& n) { return n.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(noted("jump target '7'"));
  EXPECT_TRUE(noted("Remove.exe"));
  EXPECT_TRUE(noted("not in the order"));  // no SetupInfo, no CompiledLines
  EXPECT_EQ(wb.Lines[1], "outfile x.exe");
}

}  // namespace
}  // namespace ferry::tool
