#include "formats/layout/page_list.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {

struct PageKeyword {
  const char* keyword;
  TPageType type;
};

constexpr std::array<PageKeyword, 8> kKeywords = {{
    {"welcome", TPageType::Welcome},
    {"changelog", TPageType::ChangeLog},
    {"installdir", TPageType::InstallDir},
    {"patch", TPageType::Patch},
    {"patching", TPageType::Patching},
    {"finish", TPageType::Finish},
    {"mainlayout", TPageType::MainLayout},
    {"uninstall", TPageType::Uninstall},
}};

// The value part of a settings line: from the 8th character ("colour" and one
// separator) or the 12th ("fontcolour" and one separator) to the end.
std::string_view Rest(std::string_view line, size_t from) {
  return line.size() > from ? line.substr(from) : std::string_view();
}

}  // namespace

std::optional<TPageType> PageTypeFromKeyword(std::string_view keyword) {
  for (const PageKeyword& k : kKeywords)
    if (EqualsNoCase(keyword, k.keyword)) return k.type;
  return std::nullopt;
}

TSEPageControl::TSEPageControl(LayoutEnv env, WizardButtons& buttons)
    : env_(std::move(env)), buttons_(buttons) {}

void TSEPageControl::LoadPageSet(std::string_view entry_name) {
  std::optional<std::vector<uint8_t>> data;
  if (env_.load_entry) data = env_.load_entry(entry_name);
  if (!data) {
    if (env_.missing_entry) env_.missing_entry("Error File Missing: " + std::string(entry_name), "Missing File");
    return;
  }
  LoadPageSetData(*data);
}

void TSEPageControl::LoadPageSetData(std::span<const uint8_t> data) {
  for (const LayoutSection& section : SplitSections(SplitLines(data))) ProcessSection(section);
}

void TSEPageControl::ProcessSection(const LayoutSection& section) {
  std::string name = AsciiLowerCopy(SectionName(section[0]));
  if (name == "pages") {
    for (size_t i = 1; i < section.size(); ++i) AddPage(section[i]);
  } else if (name == "pagetypes") {
    ApplyPageTypes(section);
  } else if (name == "settings") {
    ApplySettings(section);
  }
}

void TSEPageControl::ApplyPageTypes(const LayoutSection& section) {
  for (size_t n = 1; n < section.size() && n <= pages_.size(); ++n) {
    std::optional<TPageType> type = PageTypeFromKeyword(section[n]);
    if (!type) continue;
    pages_[n - 1]->PageType = *type;
    if (*type == TPageType::MainLayout) {
      pages_[n - 1]->ShowAll();
      SendAllToBack(n - 1);
    }
  }
}

void TSEPageControl::ApplySettings(const LayoutSection& section) {
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

void TSEPageControl::AddPage(std::string_view layout_entry) {
  auto page = std::make_unique<TControlParser>(env_, &names_);
  page->LoadLayout(layout_entry);
  page->HideAll();
  size_t index = pages_.size();
  for (size_t c = 0; c < page->Controls().size(); ++c) z_order_.push_back({index, c});
  pages_.push_back(std::move(page));
  if (index == 0) ShowPage(0);
}

void TSEPageControl::SendAllToBack(size_t page) {
  // Each control, from the last to the first, goes behind everything: the
  // page ends up backmost with its first control at the very back.
  auto on_page = [page](const ControlRef& r) { return r.page == page; };
  std::vector<ControlRef> moved;
  std::copy_if(z_order_.begin(), z_order_.end(), std::back_inserter(moved), on_page);
  z_order_.erase(std::remove_if(z_order_.begin(), z_order_.end(), on_page), z_order_.end());
  z_order_.insert(z_order_.begin(), moved.begin(), moved.end());
}

void TSEPageControl::ShowPage(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= pages_.size()) return;
  current_page_ = index;
  SetNavigation(true);
  if (index == 0) buttons_.Back.visible = false;
  buttons_.Next.caption = Text(kTextNextButton);

  switch (pages_[index]->PageType) {
    case TPageType::Patch:
      buttons_.Next.caption = Text(kTextInstallButton);
      break;
    case TPageType::Patching:
    case TPageType::Uninstall:
      SetNavigation(false);
      buttons_.Language.visible = false;
      break;
    case TPageType::Finish:
      buttons_.Cancel.caption = Text(kTextFinishButton);
      buttons_.Back.visible = false;
      buttons_.Next.visible = false;
      break;
    default:
      break;
  }

  for (size_t i = 0; i < pages_.size(); ++i) {
    if (i == static_cast<size_t>(index) || pages_[i]->PageType == TPageType::MainLayout)
      pages_[i]->ShowAll();
    else
      pages_[i]->HideAll();
  }
}

void TSEPageControl::RefreshTexts() {
  for (auto& page : pages_) page->RefreshTexts();
}

void TSEPageControl::SetNavigation(bool on) {
  buttons_.Back.visible = on;
  buttons_.Next.enabled = on;
  buttons_.Cancel.enabled = on;
}

std::optional<TPageType> TSEPageControl::CurrentPageType() const {
  if (pages_.empty() || current_page_ < 0 || static_cast<size_t>(current_page_) >= pages_.size())
    return std::nullopt;
  return pages_[current_page_]->PageType;
}

LayoutControl* TSEPageControl::Control(ControlRef ref) {
  if (ref.page >= pages_.size() || ref.control >= pages_[ref.page]->Controls().size()) return nullptr;
  return &pages_[ref.page]->Controls()[ref.control];
}

const LayoutControl* TSEPageControl::Control(ControlRef ref) const {
  return const_cast<TSEPageControl*>(this)->Control(ref);
}

std::u16string TSEPageControl::Text(int number) const {
  if (env_.languages) return env_.languages->GetText(number);
  return TLanguages().GetText(number);
}

}  // namespace ferry
