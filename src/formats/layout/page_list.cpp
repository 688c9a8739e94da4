#include "formats/layout/page_list.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {

struct PageKeyword {
  const char* Keyword;
  PageKind Type;
};

constexpr std::array<PageKeyword, 9> kKeywords = {{
    {"welcome", PageKind::Welcome},
    {"changelog", PageKind::ChangeLog},
    {"installdir", PageKind::InstallDir},
    {"patch", PageKind::Patch},
    {"patching", PageKind::Patching},
    {"finish", PageKind::Finish},
    {"mainlayout", PageKind::MainLayout},
    {"uninstall", PageKind::Uninstall},
    {"scope", PageKind::Scope},
}};

// The value part of a settings line: from the 8th character ("colour" and one
// separator) or the 12th ("fontcolour" and one separator) to the end.
std::string_view Rest(std::string_view line, size_t from) {
  return line.size() > from ? line.substr(from) : std::string_view();
}

}  // namespace

std::optional<PageKind> PageTypeFromKeyword(std::string_view keyword) {
  for (const PageKeyword& k : kKeywords)
    if (EqualsNoCase(keyword, k.Keyword)) return k.Type;
  return std::nullopt;
}

bool PageListHasType(std::span<const uint8_t> pageList, PageKind type) {
  std::vector<PageKind> types;  // one per page, as ApplyPageTypes leaves them
  for (const LayoutSection& section : SplitSections(SplitLines(pageList))) {
    const std::string name = AsciiLowerCopy(SectionName(section[0]));
    if (name == "pages") types.resize(types.size() + section.size() - 1, PageKind::Welcome);
    if (name != "pagetypes") continue;
    for (size_t n = 1; n < section.size() && n <= types.size(); ++n)
      if (std::optional<PageKind> typed = PageTypeFromKeyword(section[n])) types[n - 1] = *typed;
  }
  return std::find(types.begin(), types.end(), type) != types.end();
}

PageList::PageList(LayoutEnv env, WizardButtons& buttons)
    : env_(std::move(env)), buttons_(buttons) {}

void PageList::LoadPageSet(std::string_view entryName) {
  std::optional<std::vector<uint8_t>> data;
  if (env_.LoadEntry) data = env_.LoadEntry(entryName);
  if (!data) {
    if (env_.MissingEntry) env_.MissingEntry("Error File Missing: " + std::string(entryName), "Missing File");
    return;
  }
  LoadPageSetData(*data);
}

void PageList::LoadPageSetData(std::span<const uint8_t> data) {
  for (const LayoutSection& section : SplitSections(SplitLines(data))) ProcessSection(section);
}

void PageList::ProcessSection(const LayoutSection& section) {
  std::string name = AsciiLowerCopy(SectionName(section[0]));
  if (name == "pages") {
    for (size_t i = 1; i < section.size(); ++i) AddPage(section[i]);
  } else if (name == "pagetypes") {
    ApplyPageTypes(section);
  } else if (name == "settings") {
    ApplySettings(section);
  }
}

void PageList::ApplyPageTypes(const LayoutSection& section) {
  for (size_t n = 1; n < section.size() && n <= pages_.size(); ++n) {
    std::optional<PageKind> type = PageTypeFromKeyword(section[n]);
    if (!type) continue;
    pages_[n - 1]->PageType = *type;
    if (*type == PageKind::MainLayout) {
      pages_[n - 1]->ShowAll();
      SendAllToBack(n - 1);
    }
  }
}

void PageList::ApplySettings(const LayoutSection& section) {
  for (size_t i = 1; i < section.size(); ++i) {
    std::string_view line = section[i];
    if (StartsWithNoCase(line, "colour"))
      colour_ = LayoutStrToColour(Rest(line, 7));
    else if (StartsWithNoCase(line, "fontcolour"))
      font_colour_ = LayoutStrToColour(Rest(line, 11));
    else if (StartsWithNoCase(line, "darkcolour"))
      dark_colour_ = LayoutStrToColour(Rest(line, 11));
    else if (StartsWithNoCase(line, "darkfontcolour"))
      dark_font_colour_ = LayoutStrToColour(Rest(line, 15));
  }
}

void PageList::AddPage(std::string_view layoutEntry) {
  auto page = std::make_unique<ControlParser>(env_, &names_);
  page->LoadLayout(layoutEntry);
  page->HideAll();
  size_t index = pages_.size();
  for (size_t c = 0; c < page->Controls().size(); ++c) z_order_.push_back({index, c});
  pages_.push_back(std::move(page));
  if (index == 0) ShowPage(0);
}

void PageList::SendAllToBack(size_t page) {
  // Each control, from the last to the first, goes behind everything: the
  // page ends up backmost with its first control at the very back.
  auto onPage = [page](const ControlRef& r) { return r.Page == page; };
  std::vector<ControlRef> moved;
  std::copy_if(z_order_.begin(), z_order_.end(), std::back_inserter(moved), onPage);
  z_order_.erase(std::remove_if(z_order_.begin(), z_order_.end(), onPage), z_order_.end());
  z_order_.insert(z_order_.begin(), moved.begin(), moved.end());
}

void PageList::ShowPage(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= pages_.size()) return;
  current_page_ = index;
  SetNavigation(true);
  if (index == 0) buttons_.Back.Visible = false;
  buttons_.Next.Caption = Text(kTextNextButton);

  switch (pages_[index]->PageType) {
    case PageKind::Patch:
      buttons_.Next.Caption = Text(kTextInstallButton);
      break;
    case PageKind::Patching:
    case PageKind::Uninstall:
      SetNavigation(false);
      buttons_.Language.Visible = false;
      break;
    case PageKind::Finish:
      buttons_.Cancel.Caption = Text(kTextFinishButton);
      buttons_.Back.Visible = false;
      buttons_.Next.Visible = false;
      break;
    default:
      break;
  }

  for (size_t i = 0; i < pages_.size(); ++i) {
    if (i == static_cast<size_t>(index) || pages_[i]->PageType == PageKind::MainLayout)
      pages_[i]->ShowAll();
    else
      pages_[i]->HideAll();
  }
}

void PageList::RefreshTexts() {
  for (auto& page : pages_) page->RefreshTexts();
}

void PageList::SetNavigation(bool on) {
  buttons_.Back.Visible = on;
  buttons_.Next.Enabled = on;
  buttons_.Cancel.Enabled = on;
}

std::optional<PageKind> PageList::CurrentPageType() const {
  if (pages_.empty() || current_page_ < 0 || static_cast<size_t>(current_page_) >= pages_.size())
    return std::nullopt;
  return pages_[current_page_]->PageType;
}

LayoutControl* PageList::Control(ControlRef ref) {
  if (ref.Page >= pages_.size() || ref.Control >= pages_[ref.Page]->Controls().size()) return nullptr;
  return &pages_[ref.Page]->Controls()[ref.Control];
}

const LayoutControl* PageList::Control(ControlRef ref) const {
  return const_cast<PageList*>(this)->Control(ref);
}

std::u16string PageList::Text(int number) const {
  if (env_.Languages) return env_.Languages->GetText(number);
  return LanguageList().GetText(number);
}

}  // namespace ferry
