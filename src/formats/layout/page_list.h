// The page list ("Pages.txt") and the page set built from it.
//
//   [Pages]          one layout entry name per line; a page each, in order
//   layout.txt
//   install.txt
//   [PageTypes]      the n-th line types page n-1 (keywords without case)
//   Welcome
//   InstallDir
//   [Settings]       "colour" / "fontcolour", any one character, a colour;
//   colour $000000   "darkcolour" / "darkfontcolour" the same for the
//                    system's dark mode
//
// Lines and sections follow the layout file rules (layout_syntax.h); section
// names compare without case ("[pages]" works, "[ Pages ]" does not);
// unknown sections, keywords and settings are ignored, and type lines for
// pages that do not exist (yet) are dropped.
//
// PageList holds the pages and sets the four buttons of the wizard
// for the page shown. It only records state; the wizard model decides what
// Next does on each page type.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout/layout_file.h"

namespace ferry {

enum class PageKind : uint8_t {
  Welcome = 0,     // plain page; every page the list does not type
  ChangeLog = 1,   // plain page
  InstallDir = 2,  // install-directory page
  Patch = 3,       // ready page: Next reads kTextInstallButton, space check on arrival
  Patching = 4,    // install work page
  Finish = 5,      // only Cancel remains, reading kTextFinishButton
  MainLayout = 6,  // shared decoration: always shown, behind everything
  Uninstall = 7,   // uninstall work page
  Scope = 8,       // whom a "scope either" setup installs for: radio buttons
                   // "scope_user" and "scope_machine"; passed over when
                   // the choice is not the wizard's
};

// The type a keyword names, compared without case; none for others.
std::optional<PageKind> PageTypeFromKeyword(std::string_view keyword);

// Whether a page list's text types one of its pages `type`, by the rules
// PageList reads it with, without loading a layout.
bool PageListHasType(std::span<const uint8_t> pageList, PageKind type);

struct WizardButton {
  bool Visible = true;
  bool Enabled = true;
  std::u16string Caption;
};

// The buttons under the pages, with their captions before set-up.
struct WizardButtons {
  WizardButton Back{true, true, u"< Back"};
  WizardButton Next{true, true, u"Next >"};
  WizardButton Cancel{true, true, u"Cancel"};
  WizardButton Language{true, true, u"English"};
};

// A control of the page set: page index and control index on that page.
struct ControlRef {
  size_t Page = 0;
  size_t Control = 0;
  bool operator==(const ControlRef&) const = default;
};

class PageList {
 public:
  // The buttons belong to the wizard; they must outlive the page set.
  PageList(LayoutEnv env, WizardButtons& buttons);

  // Reads the page list entry. Missing: "Error File Missing: <name>"
  // (caption "Missing File") and no pages. A colour that is not an integer
  // raises SetupError; so does any layout error (layout_file.h).
  void LoadPageSet(std::string_view entryName);
  // The same for page-list text already in memory.
  void LoadPageSetData(std::span<const uint8_t> data);
  // Appends a page built from a layout entry, hidden; the first page is
  // shown at once (before its type is known).
  void AddPage(std::string_view layoutEntry);
  // Shows page `index` with every MainLayout page, hides the others and sets
  // the buttons for the page's type. Out of range: nothing happens.
  void ShowPage(int32_t index);
  // Labels and panels of every page re-resolve their layout captions.
  void RefreshTexts();
  // On: Back visible, Next and Cancel enabled. Off: Back hidden, Next and
  // Cancel disabled. Neither touches Next's visibility.
  void SetNavigation(bool on);

  int32_t CurrentPage() const { return current_page_; }
  size_t PageCount() const { return pages_.size(); }
  ControlParser& Page(size_t index) { return *pages_[index]; }
  const ControlParser& Page(size_t index) const { return *pages_[index]; }
  // Type of the page shown; none when there are no pages.
  std::optional<PageKind> CurrentPageType() const;

  uint32_t Colour() const { return colour_; }
  uint32_t FontColour() const { return font_colour_; }
  // In the system's dark mode: the page area's colour and the colour of
  // texts without one of their own; none: the wizard's dark defaults.
  std::optional<uint32_t> DarkColour() const { return dark_colour_; }
  std::optional<uint32_t> DarkFontColour() const { return dark_font_colour_; }

  LayoutControl* Control(ControlRef ref);
  const LayoutControl* Control(ControlRef ref) const;
  // Every control, backmost first: creation order, except that the controls
  // of MainLayout pages lie behind all others.
  const std::vector<ControlRef>& ZOrder() const { return z_order_; }

 private:
  void ProcessSection(const LayoutSection& section);
  void ApplyPageTypes(const LayoutSection& section);
  void ApplySettings(const LayoutSection& section);
  void SendAllToBack(size_t page);
  std::u16string Text(int number) const;

  LayoutEnv env_;
  WizardButtons& buttons_;
  ComponentNames names_;
  std::vector<std::unique_ptr<ControlParser>> pages_;
  std::vector<ControlRef> z_order_;
  int32_t current_page_ = 0;
  uint32_t colour_ = 0xFFFFFF;
  uint32_t font_colour_ = 0x000000;
  std::optional<uint32_t> dark_colour_;
  std::optional<uint32_t> dark_font_colour_;
};

}  // namespace ferry
