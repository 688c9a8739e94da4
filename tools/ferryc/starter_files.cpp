#include "starter_files.h"

#include <string_view>

#include "base/byte_writer.h"
#include "starter_languages.h"

namespace ferry::tool {

namespace {

constexpr std::string_view kScript = R"(; My Product - a starter setup written by "ferryc new".
; Build it with:  ferryc compile setup.fss --stub setup-stub.exe
; The language is described in docs/script.md.

; ---- What the setup is ------------------------------------------------------
name "My Product"
shortname "My Product"
outfile setup.exe
installdir "$PROGRAMFILES\My Product\"
pages Setup
uninstallpages Uninstall
prefix MyProduct

; ---- Languages (languages\NAME.wri beside this script) ----------------------
; The first is the fallback; the setup shows the one that lists the system's
; language. Delete the lines of a language to leave it out.
%1
; ---- The wizard's pages -----------------------------------------------------
@pages layouts\Pages.txt
@layout layouts\welcome.txt
@layout layouts\scope.txt
@layout layouts\installdir.txt
@layout layouts\ready.txt
@layout layouts\progress.txt
@layout layouts\finish.txt
@layout layouts\mainlayout.txt
@image images\side.bmp

; ---- The uninstaller's pages (carried as UNINSTALL_ entries) ----------------
@uninstall uninstall\Pages.txt
@uninstall uninstall\uwelcome.txt
@uninstall uninstall\uprogress.txt
@uninstall uninstall\ufinish.txt
@uninstall uninstall\umainlayout.txt
@uninstall images\side.bmp

; ---- The work ---------------------------------------------------------------
message <LANG21>
; Payload group 1: the files below Files\ go into the install folder.
file Files\
message <LANG22>
writeregstr HKCU "Software\My Product\" InstallPath $INSTDIR
)";

constexpr std::string_view kReadme = R"(This file was installed by the setup of My Product.
Put your product's files in the Files folder beside setup.fss.
)";

constexpr std::string_view kPages = R"([Pages]
welcome.txt
scope.txt
installdir.txt
ready.txt
progress.txt
finish.txt
mainlayout.txt
[PageTypes]
Welcome
Scope
InstallDir
Patch
Patching
Finish
MainLayout
[Settings]
colour $FFFFFF
fontcolour $000000
)";

// The welcome and finish pages: the side picture and a title and text beside it.
constexpr std::string_view kSidePage = R"([%1Side]
Type=TImage
Left=0
Top=0
Width=164
Height=340
File=side.bmp
Stretch=true

[%1Title]
Type=TLabel
Left=184
Top=24
Width=376
Height=48
FontSize=12
FontBold=true
WordWrap=true
Transparent=true
Caption=<LANG%2>

[%3]
Type=TLabel
Left=184
Top=88
Width=376
Height=200
WordWrap=true
Transparent=true
Caption=<LANG%4>
)";

// The other pages start with a title and a line under it.
constexpr std::string_view kTitle = R"([%1Title]
Type=TLabel
Left=16
Top=18
Width=546
Height=20
FontSize=10
FontBold=true
Caption=<LANG%2>

[%1Line]
Type=TBevel
Left=0
Top=52
Width=578
Height=2

)";

constexpr std::string_view kInstallDir = R"([InstallDirText]
Type=TLabel
Left=16
Top=68
Width=546
Height=32
WordWrap=true
Caption=<LANG5>

[installdir_edit]
Type=TEdit
Left=16
Top=108
Width=546
Height=21

[installdir_shelltreeview]
Type=TShellTreeView
Left=16
Top=136
Width=546
Height=192
)";

// Whom a "scope either" setup installs for; the wizard passes over the page
// when the setup's scope, a switch or an installed product decides.
constexpr std::string_view kScope = R"([scope_user]
Type=TRadioButton
Left=16
Top=76
Width=546
Height=24
Caption=<LANG44>

[scope_machine]
Type=TRadioButton
Left=16
Top=108
Width=546
Height=24
Caption=<LANG45>
)";

constexpr std::string_view kReady = R"([ReadyText]
Type=TLabel
Left=16
Top=72
Width=546
Height=48
WordWrap=true
Caption=<LANG6>

[ReadySpaceRequired]
Type=TLabel
Left=16
Top=280
Width=300
Height=16
Caption=<LANG8>

[spaceavalible]
Type=TLabel
Left=16
Top=300
Width=300
Height=16
Caption=<LANG7>
)";

constexpr std::string_view kProgress = R"([patching_statuslabel]
Type=TLabel
Left=16
Top=120
Width=546
Height=16
Caption=

[patching_progressbar]
Type=TProgressBar
Left=16
Top=144
Width=546
Height=20
ForeColour=$A0701C
BackColour=$F0F0F0
)";

constexpr std::string_view kMainLayout = R"(; Shared decoration, behind every page.
[MainFooterLine]
Type=TBevel
Left=0
Top=340
Width=578
Height=2

[MainFooterText]
Type=TLabel
Left=12
Top=350
Width=554
Height=16
Caption=<LANG2>
FontColour=$808080
Transparent=true
)";

constexpr std::string_view kUninstallPages = R"([Pages]
uwelcome.txt
uprogress.txt
ufinish.txt
umainlayout.txt
[PageTypes]
Welcome
Uninstall
Finish
MainLayout
[Settings]
colour $FFFFFF
)";

// Replaces %1, %2, ... by the given texts.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
        static_cast<size_t>(pattern[i + 1] - '1') < values.size()) {
      out += values.begin()[pattern[i + 1] - '1'];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string TitledPage(std::string_view name, std::string_view lang, std::string_view rest) {
  return Fill(kTitle, {name, lang}) + std::string(rest);
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The script, its languages section naming every starter language.
std::string Script() {
  std::string setup, uninstaller;
  for (const StarterLanguage& l : StarterLanguages()) {
    setup += "language " + std::string(l.File) + "\n";
    uninstaller += "uninstalllanguage " + std::string(l.File) + "\n";
  }
  return Fill(kScript, {setup + uninstaller});
}

}  // namespace

std::vector<uint8_t> GradientBitmap(uint32_t width, uint32_t height, uint32_t top, uint32_t bottom) {
  uint32_t stride = (width * 3 + 3) & ~3u;
  uint32_t image = stride * height;
  ByteWriter w;
  w.String("BM");
  w.U32(14 + 40 + image);
  w.U32(0);
  w.U32(14 + 40);  // pixels follow the two headers
  w.U32(40);
  w.U32(width);
  w.U32(height);   // positive: the last row comes first
  w.U16(1);
  w.U16(24);
  w.U32(0);        // no compression
  w.U32(image);
  w.U32(2835);     // 72 dpi
  w.U32(2835);
  w.U32(0);
  w.U32(0);
  auto channel = [&](uint32_t row, int shift) {
    uint32_t a = (top >> shift) & 0xFF, b = (bottom >> shift) & 0xFF;
    uint32_t t = height > 1 ? row * 255 / (height - 1) : 0;  // 0 at the top
    return static_cast<uint8_t>((a * (255 - t) + b * t) / 255);
  };
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t row = height - 1 - y;
    for (uint32_t x = 0; x < width; ++x) {
      w.U8(channel(row, 0));
      w.U8(channel(row, 8));
      w.U8(channel(row, 16));
    }
    for (uint32_t p = width * 3; p < stride; ++p) w.U8(0);
  }
  return w.Take();
}

std::vector<StarterFile> StarterFiles() {
  std::vector<StarterFile> files = {
      {"setup.fss", Bytes(Script())},
      {"Files/readme.txt", Bytes(kReadme)},
      {"images/side.bmp", GradientBitmap(82, 170, 0x1C70A0, 0xE8F0F8)},
      {"layouts/Pages.txt", Bytes(kPages)},
      {"layouts/welcome.txt", Bytes(Fill(kSidePage, {"Welcome", "1", "WelcomeText", "3"}))},
      {"layouts/scope.txt", Bytes(TitledPage("Scope", "43", kScope))},
      {"layouts/installdir.txt", Bytes(TitledPage("InstallDir", "35", kInstallDir))},
      {"layouts/ready.txt", Bytes(TitledPage("Ready", "30", kReady))},
      {"layouts/progress.txt", Bytes(TitledPage("Progress", "9", kProgress))},
      {"layouts/finish.txt", Bytes(Fill(kSidePage, {"Finish", "10", "finishtext", "11"}))},
      {"layouts/mainlayout.txt", Bytes(kMainLayout)},
      {"uninstall/Pages.txt", Bytes(kUninstallPages)},
      {"uninstall/uwelcome.txt", Bytes(Fill(kSidePage, {"Uninstall", "31", "UninstallText", "32"}))},
      {"uninstall/uprogress.txt", Bytes(TitledPage("UninstallProgress", "33", kProgress))},
      {"uninstall/ufinish.txt", Bytes(Fill(kSidePage, {"UninstallFinish", "34", "UninstallFinishText", "36"}))},
      {"uninstall/umainlayout.txt", Bytes(kMainLayout)},
  };
  for (const StarterLanguage& l : StarterLanguages())
    files.push_back({"languages/" + std::string(l.File) + ".wri", LanguageTableBytes(l.Table)});
  return files;
}

}  // namespace ferry::tool
