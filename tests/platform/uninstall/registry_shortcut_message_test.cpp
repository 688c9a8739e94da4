#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/win_text.h"
#include "platform/install/install_test_support.h"

namespace ferry {
namespace {

using testing::InstallFixture;

std::optional<std::string> Read(int root, const std::string& key, const std::string& name) {
  RegKey k = RegKey::Open(root, key, false, true);
  if (!k.IsOpen()) return std::nullopt;
  return k.ReadString(name);
}

class RegistryCommandTest : public ::testing::Test {
 protected:
  RegistryCommandTest() : f_("regcmd") {}
  ~RegistryCommandTest() override {
    DeleteRegKey(HKEY_CURRENT_USER, "Software\\FerryUninstallTest");
    DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\FerryUninstallTest");
    DeleteRegKey(HKEY_CLASSES_ROOT, "ferrytest");
  }
  InstallFixture f_;
};

TEST_F(RegistryCommandTest, WritesExpandedDataAndRecordsItUnexpanded) {
  f_.Run("writeregstr", {"hkcu", "Software\\FerryUninstallTest\\", "Path", "$INSTDIR\\game.exe"});
  EXPECT_EQ(Read(1, "Software\\FerryUninstallTest", "Path"), f_.InstallDir() + "game.exe");
  ASSERT_EQ(f_.ctx.InstallLog.RegistryEntries().size(), 1u);
  EXPECT_EQ(f_.ctx.InstallLog.RegistryEntries()[0],
            "\"hkcu\" \"Software\\FerryUninstallTest\\\" \"Path\" \"$INSTDIR\\game.exe\"");
  // The same line again in other letter case is not recorded twice.
  f_.Run("writeregstr", {"HKCU", "Software\\FerryUninstallTest\\", "PATH", "$INSTDIR\\GAME.exe"});
  EXPECT_EQ(f_.ctx.InstallLog.RegistryEntries().size(), 1u);
}

TEST_F(RegistryCommandTest, ALongRootNameMeansLocalMachine) {
  f_.Run("writeregstr", {"HKEY_CURRENT_USER", "Software\\FerryUninstallTest", "V", "1"});
  EXPECT_EQ(Read(0, "Software\\FerryUninstallTest", "V"), "1");
  EXPECT_FALSE(Read(1, "Software\\FerryUninstallTest", "V"));
}

TEST_F(RegistryCommandTest, UrlProtocolFourKeysAndFourRecords) {
  f_.Run("writeregstr_url", {"ferrytest", "$INSTDIR\\demo.ico", "$INSTDIR\\demo.exe", "-url", "%1"});
  const std::string dir = f_.InstallDir();
  EXPECT_EQ(Read(2, "ferrytest", ""), "URL:ferrytest Protocol");
  EXPECT_EQ(Read(2, "ferrytest", "URL Protocol"), "");
  EXPECT_EQ(Read(2, "ferrytest\\DefaultIcon", ""), dir + "demo.ico");
  EXPECT_EQ(Read(2, "ferrytest\\shell\\open\\command", ""), "\"" + dir + "demo.exe\" \"-url\" \"%1\"");
  EXPECT_EQ(f_.ctx.InstallLog.RegistryEntries(),
            (std::vector<std::string>{"\"HKCR\" \"ferrytest\" \"\" \"\"", "\"HKCR\" \"ferrytest\" \"URL Protocol\" \"\"",
                                      "\"HKCR\" \"ferrytest\\DefaultIcon\\\" \"\" \"\"",
                                      "\"HKCR\" \"ferrytest\\shell\\open\\command\\\" \"\" \"\""}));
}

// Reads a shell link back through the shell's own link object.
struct LinkInfo {
  std::string target, arguments, workdir, icon;
  int iconIndex = -1;
};
std::optional<LinkInfo> ReadLink(const std::string& path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return std::nullopt;
  IPersistFile* file = nullptr;
  std::optional<LinkInfo> out;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(AnsiToWide(path).c_str(), STGM_READ))) {
    wchar_t buf[MAX_PATH * 2];
    LinkInfo info;
    if (SUCCEEDED(link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH))) info.target = WideToAnsi(buf);
    if (SUCCEEDED(link->GetArguments(buf, MAX_PATH * 2))) info.arguments = WideToAnsi(buf);
    if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH * 2))) info.workdir = WideToAnsi(buf);
    if (SUCCEEDED(link->GetIconLocation(buf, MAX_PATH * 2, &info.iconIndex))) info.icon = WideToAnsi(buf);
    out = info;
  }
  if (file) file->Release();
  link->Release();
  return out;
}

TEST(CreateShortcutTest, RealLinkFilesWithWorkingFolderAndIconRulesAreLogged) {
  ComInit com;
  InstallFixture f("lnkcmd");
  testing::WriteText(f.InstallDir() + "game.exe", "MZ");
  const std::string menu = f.Temp() + "menu\\Ferry Test\\";
  f.Run("createshortcut", {menu + "Game.lnk", "$INSTDIR\\game.exe", "-windowed", "$INSTDIR\\game.ico"});
  f.Run("createshortcut", {menu + "Plain.lnk", "$INSTDIR\\game.exe", ""});
  auto game = ReadLink(menu + "Game.lnk");
  ASSERT_TRUE(game);
  EXPECT_TRUE(EqualsNoCase(game->target, f.InstallDir() + "game.exe")) << game->target;
  EXPECT_EQ(game->arguments, "-windowed");
  EXPECT_TRUE(EqualsNoCase(game->workdir, f.InstallDir().substr(0, f.InstallDir().size() - 1))) << game->workdir;
  EXPECT_TRUE(EqualsNoCase(game->icon, f.InstallDir() + "game.ico")) << game->icon;
  EXPECT_EQ(game->iconIndex, 0);
  auto plain = ReadLink(menu + "Plain.lnk");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->icon, "");  // the target's own icon
  // Both link files and the new menu folders are in the install log.
  EXPECT_EQ(f.ctx.InstallLog.Files().size(), 2u);
  EXPECT_TRUE(f.ctx.InstallLog.HasFile(menu + "Game.lnk"));
  ASSERT_GE(f.ctx.InstallLog.Directories().size(), 2u);
  EXPECT_EQ(f.ctx.InstallLog.Directories().back(), menu);
}

TEST(ShellLinkSaveTest, TheLinkObjectDoesNotTakeTheSavedFileAsItsOwn) {
  ComInit com;
  InstallFixture f("lnksave");
  IShellLinkW* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link))));
  ShellLinkArgs args;
  args.LinkPath = f.Temp() + "saved.lnk";
  args.Target = f.InstallDir() + "game.exe";
  args.Arguments = "-x";
  EXPECT_TRUE(FillAndSaveShellLink(link, args));
  IPersistFile* file = nullptr;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
  LPOLESTR current = nullptr;
  // S_FALSE and no name: the object is still the unnamed link it was.
  EXPECT_EQ(file->GetCurFile(&current), S_FALSE);
  if (current) {
    ADD_FAILURE() << "bound to " << WideToAnsi(current);
    CoTaskMemFree(current);
  }
  file->Release();
  link->Release();
  auto saved = ReadLink(args.LinkPath);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(EqualsNoCase(saved->target, args.Target)) << saved->target;
  EXPECT_EQ(saved->arguments, "-x");
}

TEST(MessageCommandTest, LanguageReferencesResolvedOnTheStatusLine) {
  InstallFixture f("msgcmd");
  f.Run("message", {"<LANG23> $INSTDIR"});
  ASSERT_EQ(f.sinks.status.size(), 1u);
  EXPECT_EQ(f.sinks.status[0], u"Setup failed to install patch. $INSTDIR");
}

TEST(MessageBoxCommandTest, JumpRules) {
  InstallFixture f("mbcmd");
  int line = f.Line("messagebox", {"Install into $INSTDIR?", "Question", "5", "9"});
  f.ctx.CurrentLine = line;
  f.RunLine(line);
  EXPECT_EQ(f.ctx.CurrentLine, 4);  // OK: continues at the label line 5
  ASSERT_EQ(f.dialogs.Shown().size(), 1u);
  EXPECT_EQ(f.dialogs.Shown()[0].Text, CodePageToUtf16("Install into " + f.InstallDir() + "?"));
  EXPECT_EQ(f.dialogs.Shown()[0].Buttons, DialogButtons::kOkCancel);

  f.dialogs.QueueAnswer(DialogAnswer::kCancel);
  f.ctx.CurrentLine = line;
  f.RunLine(line);
  EXPECT_EQ(f.ctx.CurrentLine, 8);

  int noJump = f.Line("messagebox", {"t", "c", "0", "-1"});
  f.ctx.CurrentLine = noJump;
  f.RunLine(noJump);
  EXPECT_EQ(f.ctx.CurrentLine, noJump);
  f.dialogs.QueueAnswer(DialogAnswer::kCancel);
  f.RunLine(noJump);
  EXPECT_EQ(f.ctx.CurrentLine, noJump);
}

}  // namespace
}  // namespace ferry
