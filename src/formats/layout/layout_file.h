// Layout files: one wizard page (or the decoration shared by all pages)
// described as sections of controls.
//
//   [WelcomeLabel]          header: the control's component name
//   Type=TLabel             first line: the control type (value part only)
//   Left=220                further lines: name=value properties
//   Caption=<LANG1>
//   fontcolour=$FFFFFF
//
// ControlParser turns a layout entry into LayoutControl descriptions: the
// final value of every property the layout set, the unresolved caption
// (RawTexts entry) and the text shown now. It creates no window; a view
// creates one control per description, and silent runs use the descriptions
// alone. Images and rich-edit files named by the layout are loaded from the
// archive here, so a view only decodes bytes.
//
// Errors: a bad integer, colour or `<LANGn>` reference and an invalid or
// duplicate component name raise SetupError. A missing layout entry or
// rich-edit file is said through LayoutEnv::missing_entry; a missing image is not.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/setup/text_macros.h"
#include "formats/languages/languages.h"
#include "formats/layout/layout_syntax.h"

namespace ferry {

class PakReader;
enum class PageKind : uint8_t;  // page_list.h

// Loads an entry of group 0 by name (compared without case); none when the
// archive has no such entry or it cannot be read.
using EntryLoader = std::function<std::optional<std::vector<uint8_t>>(std::string_view name)>;

// Group-0 entries of a setup archive; the archive must outlive the loader.
EntryLoader PakEntryLoader(PakReader& pak);

// What building pages needs from the rest of the program.
struct LayoutEnv {
  EntryLoader LoadEntry;
  // An entry a layout or the page list names is not in the setup: its
  // message and caption, for the wizard to show; none: not said.
  std::function<void(const std::string& text, const std::string& caption)> MissingEntry;
  const LanguageList* Languages = nullptr;      // none: no `<LANGn>` resolution
  const TextMacroTable* Macros = nullptr;   // none: no text macros
};

enum class ControlKind : uint8_t {
  kLabel,          // "tlabel": 16-bit caption
  kEdit,           // "tedit": single-line edit, 16-bit text
  kShellTreeView,  // "tshelltreeview": folder tree of the shell namespace
  kButton,         // "tbutton": shows its section name
  kImage,          // "timage"
  kPanel,          // "tpanel": caption shown through the system code page
  kBevel,          // "tbevel"
  kMemo,           // "tmemo"
  kRichEdit,       // "trichedit": both scroll bars
  kProgressBar,    // "tprogressbar": the gradient gauge
  kRadioButton,    // "tradiobutton": one choice of the page's group, 16-bit caption
};

// The kind a type value names (compared without case); none for any other.
std::optional<ControlKind> ControlKindFromType(std::string_view type);

enum class ImageFormat : uint8_t { kNone, kJpeg, kBitmap, kIcon, kMetafile };
// By the entry name's extension: jpg/jpeg, bmp, ico, emf/wmf; kNone otherwise.
ImageFormat ImageFormatFromName(std::string_view name);

// Font properties a layout set; a control with none of them uses its
// parent's font (the page panel's, which is the form's).
struct FontStyle {
  std::optional<std::string> Face;
  std::optional<int32_t> Size;      // points
  std::optional<uint32_t> Colour;   // 0x00BBGGRR
  std::optional<bool> Bold;         // true adds bold, false removes it
  bool InheritsParent() const { return !Face && !Size && !Colour && !Bold; }
};

struct LayoutControl {
  ControlKind Kind = ControlKind::kLabel;
  std::string Name;  // component name (the section name)

  // Common properties; unset ones keep the toolkit's defaults.
  std::optional<int32_t> Left, Top, Width, Height;
  bool Enabled = true;
  bool Visible = true;  // the page set shows and hides whole pages

  FontStyle Font;
  // The text's colour in the system's dark mode ("darkfontcolour"); none:
  // the font colour, or the page list's dark text colour.
  std::optional<uint32_t> DarkFontColour;

  // Labels, edits, panels: the caption as the layout wrote it (the page's
  // RawTexts entry; empty when the layout set none), re-resolved after a
  // language switch. Memos and rich edits keep nothing here.
  std::u16string RawText;
  // What the control shows now: label/panel/button caption, edit/memo/rich
  // edit text. Defaults to the section name for every kind that has a text.
  // A line break is one CR (from "<BR>"); a Win32 edit or memo wants CR LF.
  std::u16string Text;

  // Radio buttons: the one picked of the page's group.
  bool Checked = false;

  // Labels (auto_size also edits).
  bool AutoSize = true;
  bool WordWrap = false;
  bool Transparent = false;  // labels and images
  // Memos and rich edits: single-line border when true.
  bool Border = true;

  // Rich edits: the rich text loaded by a "file" line. A later "text" line
  // drops it again; whichever came last is what the control shows.
  std::optional<std::vector<uint8_t>> RichText;

  // Images.
  std::string ImageName;                     // the "file" value
  ferry::ImageFormat ImageFormat = ImageFormat::kNone;
  std::optional<std::vector<uint8_t>> Image;  // none: empty picture
  bool Stretch = false;
  bool Center = false;
  // A "tile=true" line that followed a "file" line; a later "file" line
  // loads a fresh picture and so clears it. The view tiles only a picture
  // of non-zero size.
  bool Tile = false;

  // Progress bars: a forecolour paints the fill solid (both gradient ends).
  std::optional<uint32_t> ForeColour;
  std::optional<uint32_t> BackColour;
  int32_t Position = 0;
  int32_t Max = 100;
};

// Component names already taken, lower-cased: all controls of all pages
// share one owner, so a name may appear once in the whole wizard.
using ComponentNames = std::set<std::string>;

class ControlParser {
 public:
  // `names` is shared by every page of a wizard; none: this parser's own.
  explicit ControlParser(LayoutEnv env, ComponentNames* names = nullptr);

  // Builds the controls of a layout entry. A missing entry shows "Error File
  // Missing: |<name>|" (caption "Missing File") and leaves the page empty.
  void LoadLayout(std::string_view entryName);
  // Builds the controls of layout text already in memory.
  void LoadLayoutData(std::span<const uint8_t> data);
  // Builds one control from the lines of one section (line 0 the header,
  // line 1 the type); an unknown type ignores the section.
  void CreateControl(const LayoutSection& lines);
  // Applies one property line to `control`.
  void ApplyProperty(std::string_view name, std::string_view value, LayoutControl& control);

  void HideAll();
  void ShowAll();
  // Labels, panels and radio buttons take their caption from RawTexts again.
  void RefreshTexts();

  // Set by the page list after loading; Welcome until then.
  PageKind PageType{};

  std::vector<LayoutControl>& Controls() { return controls_; }
  const std::vector<LayoutControl>& Controls() const { return controls_; }
  // The RawTexts entries, one per control, in control order.
  std::vector<std::u16string> RawTexts() const;

 private:
  std::u16string Resolve(std::u16string_view raw) const;
  std::u16string PanelCaption(std::u16string_view raw) const;
  void ClaimName(const std::string& name);
  bool ApplyCommon(std::string_view name, std::string_view value, LayoutControl& c);
  bool ApplyFont(std::string_view name, std::string_view value, LayoutControl& c);
  void ApplyText(std::string_view value, LayoutControl& c);
  void ApplyMemoText(std::string_view value, LayoutControl& c);
  void LoadRichEditFile(LayoutControl& c, std::string_view value);
  void LoadImage(LayoutControl& c, std::string_view value);

  LayoutEnv env_;
  ComponentNames own_names_;
  ComponentNames* names_;
  std::vector<LayoutControl> controls_;
};

}  // namespace ferry
