#include <gtest/gtest.h>

#include <string>

#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "formats/layout/layout_file.h"
#include "wizard/wizard_test_support.h"

namespace ferry {
namespace {

using testing::EntryMap;

class LayoutFileTest : public ::testing::Test {
 protected:
  LayoutFileTest() {
    testing::AddStandardLanguages(languages_);
    macros_.AddMacro("<%SETUPTITLE%>", title_);
    macros_.AddMacro("<%CHANGELOG%>", changelog_);
  }

  LayoutEnv Env() { return LayoutEnv{entries_.Loader(), Missing(), &languages_, &macros_}; }

  // Parses one layout text into a fresh parser.
  ControlParser Parse(std::string_view text) {
    ControlParser parser(Env());
    entries_.Add("page.txt", text);
    parser.LoadLayout("page.txt");
    return parser;
  }

  const LayoutControl& Only(const ControlParser& p) {
    EXPECT_EQ(p.Controls().size(), 1u);
    return p.Controls().at(0);
  }

  EntryMap entries_;
  // "caption: text" of each missing entry said.
  std::vector<std::string> missing_;
  std::function<void(const std::string&, const std::string&)> Missing() {
    return [this](const std::string& text, const std::string& caption) { missing_.push_back(caption + ": " + text); };
  }
  LanguageList languages_;
  TextMacroTable macros_;
  std::string title_ = "Demo Setup";
  std::string changelog_ = "changes.rtf";
};

TEST_F(LayoutFileTest, WelcomeLabelSectionSetsEveryLabelProperty) {
  auto p = Parse(
      "[WelcomeLabel]\r\nType=TLabel\r\nLeft=220\r\nTop=120\r\nWidth=$40\r\nHeight=0x20\r\n"
      "FontFace=MS Shell Dlg 2\r\nFontBold=true\r\nFontsize=10\r\nCaption=<LANG1>\r\n"
      "fontcolour=$FFFFFF\r\ntransparent=true\r\nAutoSize=false\r\nWordWrap=TRUE\r\nDarkFontColour=$C0C0C0\r\n");
  const LayoutControl& c = Only(p);
  EXPECT_EQ(c.Kind, ControlKind::kLabel);
  EXPECT_EQ(c.Name, "WelcomeLabel");
  EXPECT_EQ(c.Left, 220);
  EXPECT_EQ(c.Top, 120);
  EXPECT_EQ(c.Width, 64);
  EXPECT_EQ(c.Height, 32);
  EXPECT_EQ(c.Font.Face, "MS Shell Dlg 2");
  EXPECT_EQ(c.Font.Bold, true);
  EXPECT_EQ(c.Font.Size, 10);
  EXPECT_EQ(c.Font.Colour, 0xFFFFFFu);
  EXPECT_EQ(c.DarkFontColour, 0xC0C0C0u);
  EXPECT_FALSE(c.Font.InheritsParent());
  EXPECT_TRUE(c.Transparent);
  EXPECT_FALSE(c.AutoSize);
  EXPECT_TRUE(c.WordWrap);
  EXPECT_EQ(c.RawText, u"<LANG1>");
  EXPECT_EQ(c.Text, u"Welcome to Demo Setup");
  EXPECT_EQ(p.RawTexts(), (std::vector<std::u16string>{u"<LANG1>"}));
}

TEST_F(LayoutFileTest, TypeValueComparesWithoutCaseAndItsNamePartIsIgnored) {
  auto p = Parse("[A]\r\nType=tLaBeL\r\n[B]\r\nTYPE=TLabel\r\n[C]\r\nKind=TEdit\r\n[D]\r\nTLabel\r\n");
  ASSERT_EQ(p.Controls().size(), 4u);
  EXPECT_EQ(p.Controls()[0].Kind, ControlKind::kLabel);
  EXPECT_EQ(p.Controls()[1].Kind, ControlKind::kLabel);
  EXPECT_EQ(p.Controls()[2].Kind, ControlKind::kEdit);
  EXPECT_EQ(p.Controls()[3].Kind, ControlKind::kLabel);  // no "=": the whole line is the value
}

TEST_F(LayoutFileTest, EveryTypeMakesItsKindAndOthersAreIgnored) {
  auto p = Parse(
      "[a]\r\nType=TLabel\r\n[b]\r\nType=TEdit\r\n[c]\r\nType=TShellTreeView\r\n[d]\r\nType=TButton\r\n"
      "[e]\r\nType=TImage\r\n[f]\r\nType=TPanel\r\n[g]\r\nType=TBevel\r\n[h]\r\nType=TMemo\r\n"
      "[i]\r\nType=TRichEdit\r\n[j]\r\nType=TProgressBar\r\n[k]\r\nType=TCheckBox\r\nLeft=x\r\n"
      "[l]\r\nType= TLabel\r\n[m]\r\n[n]\r\nType=TRadioButton\r\n");
  std::vector<ControlKind> kinds;
  for (const auto& c : p.Controls()) kinds.push_back(c.Kind);
  EXPECT_EQ(kinds, (std::vector<ControlKind>{ControlKind::kLabel, ControlKind::kEdit, ControlKind::kShellTreeView,
                                             ControlKind::kButton, ControlKind::kImage, ControlKind::kPanel,
                                             ControlKind::kBevel, ControlKind::kMemo, ControlKind::kRichEdit,
                                             ControlKind::kProgressBar, ControlKind::kRadioButton}));
}

// A radio button's caption is a language text like a label's, re-resolved
// after a language switch; "Checked" is its state.
TEST_F(LayoutFileTest, RadioButtonsTakeACaptionAndAState) {
  auto p = Parse("[scope_user]\r\nType=TRadioButton\r\nCaption=<LANG1>\r\nChecked=true\r\n[b]\r\nType=TRadioButton\r\n");
  ASSERT_EQ(p.Controls().size(), 2u);
  EXPECT_EQ(p.Controls()[0].RawText, u"<LANG1>");
  EXPECT_NE(p.Controls()[0].Text, u"<LANG1>");
  EXPECT_TRUE(p.Controls()[0].Checked);
  EXPECT_FALSE(p.Controls()[1].Checked);
  EXPECT_EQ(p.Controls()[1].Text, u"b");
}

TEST_F(LayoutFileTest, TextKindsShowTheirSectionNameUntilACaptionReplacesIt) {
  auto p = Parse(
      "[OkButton]\r\nType=TButton\r\nCaption=ignored\r\n[Pan]\r\nType=TPanel\r\n[Ed]\r\nType=TEdit\r\n"
      "[Img]\r\nType=TImage\r\n[Lab]\r\nType=TLabel\r\nCaption=Hello\r\n");
  ASSERT_EQ(p.Controls().size(), 5u);
  EXPECT_EQ(p.Controls()[0].Text, u"OkButton");
  EXPECT_EQ(p.Controls()[0].RawText, u"");
  EXPECT_EQ(p.Controls()[1].Text, u"Pan");
  EXPECT_EQ(p.Controls()[2].Text, u"Ed");
  EXPECT_EQ(p.Controls()[3].Text, u"");
  EXPECT_EQ(p.Controls()[4].Text, u"Hello");
}

TEST_F(LayoutFileTest, CommonPropertiesApplyToEveryKind) {
  auto p = Parse(
      "[t]\r\nType=TShellTreeView\r\nLeft=1\r\nTop=2\r\nWidth=3\r\nHeight=4\r\nEnabled=TRUE\r\n"
      "[b]\r\nType=TBevel\r\nLeft= -5\r\nEnabled=1\r\n[g]\r\nType=TProgressBar\r\nenabled=false\r\n");
  ASSERT_EQ(p.Controls().size(), 3u);
  const auto& tree = p.Controls()[0];
  EXPECT_EQ(tree.Left, 1);
  EXPECT_EQ(tree.Top, 2);
  EXPECT_EQ(tree.Width, 3);
  EXPECT_EQ(tree.Height, 4);
  EXPECT_TRUE(tree.Enabled);
  EXPECT_EQ(p.Controls()[1].Left, -5);
  EXPECT_FALSE(p.Controls()[1].Enabled);  // "1" is not true
  EXPECT_FALSE(p.Controls()[2].Enabled);
  EXPECT_FALSE(p.Controls()[2].Top.has_value());
}

TEST_F(LayoutFileTest, UnknownPropertiesAndCommentsAreIgnored) {
  auto p = Parse("[l]\r\nType=TLabel\r\n;Top=130\r\nColour=$FF\r\nno equals here\r\nStretch=true\r\n");
  const auto& c = Only(p);
  EXPECT_FALSE(c.Top.has_value());
  EXPECT_TRUE(c.Font.InheritsParent());
}

TEST_F(LayoutFileTest, PropertyValuesAreNotTrimmedAfterTheEquals) {
  auto p = Parse("[l]\r\nType=TLabel\r\nCaption=  two blanks\r\nFontFace= Arial\r\n");
  EXPECT_EQ(Only(p).Text, u"  two blanks");
  EXPECT_EQ(Only(p).Font.Face, " Arial");
}

TEST_F(LayoutFileTest, EditTextIsResolvedAndKeptRaw) {
  auto p = Parse("[installdir_edit]\r\nType=TEdit\r\nText=<%SETUPTITLE%>\r\nautosize=false\r\nfontsize=9\r\n");
  const auto& c = Only(p);
  EXPECT_EQ(c.RawText, u"<%SETUPTITLE%>");
  EXPECT_EQ(c.Text, u"Demo Setup");
  EXPECT_FALSE(c.AutoSize);
  EXPECT_EQ(c.Font.Size, 9);
}

TEST_F(LayoutFileTest, PanelCaptionGoesThroughTheCodePage) {
  languages_.Languages[0]->Items.push_back({40, u"\u4E16 \u00E9"});
  auto p = Parse("[Pan]\r\nType=TPanel\r\nCaption=<LANG40>\r\nfontbold=false\r\n");
  EXPECT_EQ(Only(p).Text, u"? \u00E9");
  EXPECT_EQ(Only(p).Font.Bold, false);
}

TEST_F(LayoutFileTest, LabelBreaksLinesAtBr) {
  auto p = Parse("[l]\r\nType=TLabel\r\nCaption=one<br>two<Br>three\r\n");
  EXPECT_EQ(Only(p).Text, u"one\rtwo\rthree");
}

TEST_F(LayoutFileTest, MemoTextBreaksAtBrButKeepsReferences) {
  auto p = Parse("[m]\r\nType=TMemo\r\nText=<LANG1> one<BR>two<bR>\r\nBorder=false\r\n");
  const auto& c = Only(p);
  EXPECT_EQ(c.Text, u"<LANG1> one\rtwo\r");
  EXPECT_EQ(c.RawText, u"");
  EXPECT_FALSE(c.Border);
}

TEST_F(LayoutFileTest, RichEditLoadsItsFileThroughTheMacros) {
  entries_.Add("CHANGES.RTF", "{\\rtf1 hello}");
  auto p = Parse("[r]\r\nType=TRichEdit\r\nFile=<%CHANGELOG%>\r\n");
  const auto& c = Only(p);
  ASSERT_TRUE(c.RichText.has_value());
  EXPECT_EQ(std::string(c.RichText->begin(), c.RichText->end()), "{\\rtf1 hello}");
  EXPECT_TRUE(missing_.empty());
}

TEST_F(LayoutFileTest, RichEditShowsWhicheverOfTextAndFileCameLast) {
  entries_.Add("a.rtf", "{\\rtf1 a}");
  auto text_last = Parse("[r]\r\nType=TRichEdit\r\nFile=a.rtf\r\nText=plain\r\n");
  EXPECT_FALSE(Only(text_last).RichText.has_value());
  EXPECT_EQ(Only(text_last).Text, u"plain");
  auto file_last = Parse("[r]\r\nType=TRichEdit\r\nText=plain\r\nFile=a.rtf\r\n");
  EXPECT_TRUE(Only(file_last).RichText.has_value());
}

TEST_F(LayoutFileTest, MissingRichEditFileShowsItsBoxAndKeepsTheContent) {
  auto p = Parse("[r]\r\nType=TRichEdit\r\nText=kept\r\nFile=gone.rtf\r\n");
  EXPECT_EQ(Only(p).Text, u"kept");
  EXPECT_FALSE(Only(p).RichText.has_value());
  ASSERT_EQ(missing_.size(), 1u);
  EXPECT_EQ(missing_[0], "Rich Edit Error: Error: File \"gone.rtf\" Missing");
}

TEST_F(LayoutFileTest, ProgressBarColours) {
  auto p = Parse("[patching_progressbar]\r\nType=TProgressBar\r\nforecolour=$0000FF\r\nBackColour=$FFFFFF\r\n");
  EXPECT_EQ(Only(p).ForeColour, 0x0000FFu);
  EXPECT_EQ(Only(p).BackColour, 0xFFFFFFu);
  EXPECT_THROW(Parse("[g]\r\nType=TProgressBar\r\nforecolour=blue\r\n"), SetupError);
}

TEST_F(LayoutFileTest, ImagePropertiesAndFormats) {
  entries_.Add("Back.JPG", "jpegbytes");
  auto p = Parse("[i]\r\nType=TImage\r\nFile=back.jpg\r\nStretch=true\r\nCenter=TRUE\r\nTransparent=true\r\n");
  const auto& c = Only(p);
  EXPECT_EQ(c.ImageName, "back.jpg");
  EXPECT_EQ(c.ImageFormat, ImageFormat::kJpeg);
  ASSERT_TRUE(c.Image.has_value());
  EXPECT_EQ(c.Image->size(), 9u);
  EXPECT_TRUE(c.Stretch);
  EXPECT_TRUE(c.Center);
  EXPECT_TRUE(c.Transparent);
  EXPECT_EQ(ImageFormatFromName("a.jpeg"), ImageFormat::kJpeg);
  EXPECT_EQ(ImageFormatFromName("a.BMP"), ImageFormat::kBitmap);
  EXPECT_EQ(ImageFormatFromName("a.ico"), ImageFormat::kIcon);
  EXPECT_EQ(ImageFormatFromName("a.emf"), ImageFormat::kMetafile);
  EXPECT_EQ(ImageFormatFromName("a.wmf"), ImageFormat::kMetafile);
  EXPECT_EQ(ImageFormatFromName("a.png"), ImageFormat::kNone);
  EXPECT_EQ(ImageFormatFromName("noext"), ImageFormat::kNone);
}

TEST_F(LayoutFileTest, TileTakesEffectOnlyAfterALoadedFile) {
  entries_.Add("t.bmp", "BM");
  EXPECT_FALSE(Only(Parse("[i]\r\nType=TImage\r\nTile=true\r\nFile=t.bmp\r\n")).Tile);
  EXPECT_TRUE(Only(Parse("[i]\r\nType=TImage\r\nFile=t.bmp\r\nTile=true\r\n")).Tile);
  // Once tiled, a later false does not undo it; a later file loads a fresh picture.
  EXPECT_TRUE(Only(Parse("[i]\r\nType=TImage\r\nFile=t.bmp\r\nTile=true\r\nTile=false\r\n")).Tile);
  EXPECT_FALSE(Only(Parse("[i]\r\nType=TImage\r\nFile=t.bmp\r\nTile=true\r\nFile=t.bmp\r\n")).Tile);
  EXPECT_FALSE(Only(Parse("[i]\r\nType=TImage\r\nFile=none.bmp\r\nTile=true\r\n")).Tile);
}

TEST_F(LayoutFileTest, MissingImageLeavesAnEmptyPictureWithoutMessage) {
  auto p = Parse("[i]\r\nType=TImage\r\nFile=none.bmp\r\n");
  EXPECT_FALSE(Only(p).Image.has_value());
  EXPECT_TRUE(missing_.empty());
}

TEST_F(LayoutFileTest, MissingLayoutShowsTheMissingFileBox) {
  ControlParser parser(Env());
  parser.LoadLayout("nowhere.txt");
  EXPECT_TRUE(parser.Controls().empty());
  ASSERT_EQ(missing_.size(), 1u);
  EXPECT_EQ(missing_[0], "Missing File: Error File Missing: |nowhere.txt|");
}

TEST_F(LayoutFileTest, LeadingLinesWithoutHeaderNeedATypeOnTheirSecondLine) {
  EXPECT_TRUE(Parse("Type=TLabel\r\n[x]\r\nType=TCheck\r\n").Controls().empty());
  auto p = Parse("xLabelx\r\nType=TLabel\r\nCaption=hi\r\n");
  EXPECT_EQ(Only(p).Name, "Label");
  EXPECT_EQ(Only(p).Text, u"hi");
}

TEST_F(LayoutFileTest, ComponentNameErrors) {
  try {
    Parse("[9lives]\r\nType=TLabel\r\n");
    ADD_FAILURE();
  } catch (const SetupError& e) {
    EXPECT_STREQ(e.what(), "'9lives' is not a valid component name");
  }
  try {
    Parse("[Title]\r\nType=TLabel\r\n[TITLE]\r\nType=TEdit\r\n");
    ADD_FAILURE();
  } catch (const SetupError& e) {
    EXPECT_STREQ(e.what(), "A component named TITLE already exists");
  }
  // An ignored section never claims its name.
  EXPECT_EQ(Parse("[a b]\r\nType=TCheckBox\r\n[ok]\r\nType=TLabel\r\n").Controls().size(), 1u);
}

TEST_F(LayoutFileTest, NamesAreUniqueAcrossPagesSharingOneOwner) {
  ComponentNames names;
  entries_.Add("one.txt", "[Shared]\r\nType=TLabel\r\n");
  entries_.Add("two.txt", "[shared]\r\nType=TBevel\r\n");
  ControlParser first(Env(), &names);
  first.LoadLayout("one.txt");
  ControlParser second(Env(), &names);
  EXPECT_THROW(second.LoadLayout("two.txt"), SetupError);
  ControlParser alone(Env());
  EXPECT_NO_THROW(alone.LoadLayout("two.txt"));
}

TEST_F(LayoutFileTest, ConversionErrorsNameTheValue) {
  try {
    Parse("[l]\r\nType=TLabel\r\nLeft=12px\r\n");
    ADD_FAILURE();
  } catch (const SetupError& e) {
    EXPECT_STREQ(e.what(), "'12px' is not a valid integer value");
  }
}

TEST_F(LayoutFileTest, RefreshTextsReResolvesLabelsAndPanelsOnly) {
  auto p = Parse(
      "[l]\r\nType=TLabel\r\nCaption=<LANG1>\r\n[p]\r\nType=TPanel\r\nCaption=<LANG13>\r\n"
      "[e]\r\nType=TEdit\r\nText=<LANG13>\r\n[n]\r\nType=TLabel\r\n");
  languages_.Current = 1;
  p.RefreshTexts();
  EXPECT_EQ(p.Controls()[0].Text, u"Willkommen");
  EXPECT_EQ(p.Controls()[1].Text, u"Weiter >");
  EXPECT_EQ(p.Controls()[2].Text, u"Next >");  // edits keep what they show
  EXPECT_EQ(p.Controls()[3].Text, u"");        // a label without caption resolves its empty raw text
}

TEST_F(LayoutFileTest, LayoutsLoadFromTheSetupArchiveByNameInGroupZero) {
  MemoryFile file;
  {
    PakWriter writer = PakWriter::Create(file);
    std::string layout = "[FromPak]\r\nType=TLabel\r\n";
    std::string payload = "[Payload]\r\nType=TLabel\r\n";
    writer.StoreBuffer(writer.AddEntry("Layout.TXT", "", 0), std::span(reinterpret_cast<const uint8_t*>(layout.data()), layout.size()));
    writer.StoreBuffer(writer.AddEntry("payload.txt", "", 1), std::span(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
    writer.WriteDirectory();
  }
  PakReader pak(file);
  ASSERT_EQ(pak.EntryCount(), 2u);
  LayoutEnv env = Env();
  env.LoadEntry = PakEntryLoader(pak);
  ControlParser parser(env);
  parser.LoadLayout("layout.txt");
  ASSERT_EQ(parser.Controls().size(), 1u);
  EXPECT_EQ(parser.Controls()[0].Name, "FromPak");
  parser.LoadLayout("payload.txt");  // not a group-0 entry
  EXPECT_EQ(parser.Controls().size(), 1u);
  EXPECT_EQ(missing_.size(), 1u);
}

TEST_F(LayoutFileTest, HideAndShowAll) {
  auto p = Parse("[a]\r\nType=TLabel\r\n[b]\r\nType=TEdit\r\n");
  p.HideAll();
  for (const auto& c : p.Controls()) EXPECT_FALSE(c.Visible);
  p.ShowAll();
  for (const auto& c : p.Controls()) EXPECT_TRUE(c.Visible);
}

}  // namespace
}  // namespace ferry
