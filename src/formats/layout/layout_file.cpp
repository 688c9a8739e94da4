#include "formats/layout/layout_file.h"

#include <array>

#include "formats/pak/pak_reader.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "base/text_replace.h"
#include "formats/layout/display_text.h"

namespace ferry {

namespace {

struct KindName {
  const char* type;
  ControlKind kind;
};

constexpr std::array<KindName, 10> kKinds = {{
    {"tlabel", ControlKind::kLabel},
    {"tedit", ControlKind::kEdit},
    {"tshelltreeview", ControlKind::kShellTreeView},
    {"tbutton", ControlKind::kButton},
    {"timage", ControlKind::kImage},
    {"tpanel", ControlKind::kPanel},
    {"tbevel", ControlKind::kBevel},
    {"tmemo", ControlKind::kMemo},
    {"trichedit", ControlKind::kRichEdit},
    {"tprogressbar", ControlKind::kProgressBar},
}};

bool HasText(ControlKind k) {
  return k == ControlKind::kLabel || k == ControlKind::kEdit || k == ControlKind::kButton ||
         k == ControlKind::kPanel || k == ControlKind::kMemo || k == ControlKind::kRichEdit;
}

bool HasFont(ControlKind k) {
  return k == ControlKind::kLabel || k == ControlKind::kEdit || k == ControlKind::kPanel ||
         k == ControlKind::kMemo || k == ControlKind::kRichEdit;
}

}  // namespace

EntryLoader PakEntryLoader(PakReader& pak) {
  return [&pak](std::string_view name) { return pak.LoadByName(name, 0); };
}

std::optional<ControlKind> ControlKindFromType(std::string_view type) {
  for (const KindName& k : kKinds)
    if (EqualsNoCase(type, k.type)) return k.kind;
  return std::nullopt;
}

ImageFormat ImageFormatFromName(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return ImageFormat::kNone;
  std::string ext = AsciiLowerCopy(name.substr(dot + 1));
  if (ext == "jpg" || ext == "jpeg") return ImageFormat::kJpeg;
  if (ext == "bmp") return ImageFormat::kBitmap;
  if (ext == "ico") return ImageFormat::kIcon;
  if (ext == "emf" || ext == "wmf") return ImageFormat::kMetafile;
  return ImageFormat::kNone;
}

TControlParser::TControlParser(LayoutEnv env, ComponentNames* names)
    : env_(std::move(env)), names_(names ? names : &own_names_) {}

void TControlParser::LoadLayout(std::string_view entry_name) {
  std::optional<std::vector<uint8_t>> data;
  if (env_.load_entry) data = env_.load_entry(entry_name);
  if (!data) {
    if (env_.missing_entry) env_.missing_entry("Error File Missing: |" + std::string(entry_name) + "|", "Missing File");
    return;
  }
  LoadLayoutData(*data);
}

void TControlParser::LoadLayoutData(std::span<const uint8_t> data) {
  for (const LayoutSection& section : SplitSections(SplitLines(data))) CreateControl(section);
}

void TControlParser::CreateControl(const LayoutSection& lines) {
  std::string_view type_line = lines.size() > 1 ? std::string_view(lines[1]) : std::string_view();
  std::optional<ControlKind> kind = ControlKindFromType(SplitAtEquals(type_line).second);
  if (!kind) return;

  LayoutControl control;
  control.kind = *kind;
  control.name = SectionName(lines.empty() ? std::string_view() : std::string_view(lines[0]));
  ClaimName(control.name);
  if (HasText(control.kind)) control.text = CodePageToUtf16(control.name);
  controls_.push_back(std::move(control));

  for (size_t i = 2; i < lines.size(); ++i) {
    auto [name, value] = SplitAtEquals(lines[i]);
    ApplyProperty(name, value, controls_.back());
  }
}

void TControlParser::ClaimName(const std::string& name) {
  if (name.empty()) return;
  if (!IsValidComponentName(name)) throw SetupError("'" + name + "' is not a valid component name");
  if (!names_->insert(AsciiLowerCopy(name)).second)
    throw SetupError("A component named " + name + " already exists");
}

void TControlParser::ApplyProperty(std::string_view name, std::string_view value, LayoutControl& c) {
  std::string key = AsciiLowerCopy(name);
  ApplyCommon(key, value, c);
  if (HasFont(c.kind) && ApplyFont(key, value, c)) return;

  switch (c.kind) {
    case ControlKind::kLabel:
    case ControlKind::kEdit:
      if (key == (c.kind == ControlKind::kLabel ? "caption" : "text")) ApplyText(value, c);
      else if (key == "autosize") c.auto_size = LayoutStrToBool(value);
      else if (c.kind == ControlKind::kLabel && key == "wordwrap") c.word_wrap = LayoutStrToBool(value);
      else if (c.kind == ControlKind::kLabel && key == "transparent") c.transparent = LayoutStrToBool(value);
      break;
    case ControlKind::kPanel:
      if (key == "caption") ApplyText(value, c);
      break;
    case ControlKind::kMemo:
    case ControlKind::kRichEdit:
      if (key == "text") ApplyMemoText(value, c);
      else if (key == "border") c.border = LayoutStrToBool(value);
      else if (c.kind == ControlKind::kRichEdit && key == "file") LoadRichEditFile(c, value);
      break;
    case ControlKind::kProgressBar:
      if (key == "forecolour") c.fore_colour = LayoutStrToColour(value);
      else if (key == "backcolour") c.back_colour = LayoutStrToColour(value);
      break;
    case ControlKind::kImage:
      if (key == "file") LoadImage(c, value);
      else if (key == "stretch") c.stretch = LayoutStrToBool(value);
      else if (key == "tile") c.tile = c.tile || (LayoutStrToBool(value) && c.image.has_value());
      else if (key == "center") c.center = LayoutStrToBool(value);
      else if (key == "transparent") c.transparent = LayoutStrToBool(value);
      break;
    case ControlKind::kShellTreeView:
    case ControlKind::kButton:
    case ControlKind::kBevel:
      break;
  }
}

bool TControlParser::ApplyCommon(std::string_view key, std::string_view value, LayoutControl& c) {
  if (key == "left") c.left = LayoutStrToInt(value);
  else if (key == "top") c.top = LayoutStrToInt(value);
  else if (key == "width") c.width = LayoutStrToInt(value);
  else if (key == "height") c.height = LayoutStrToInt(value);
  else if (key == "enabled") c.enabled = LayoutStrToBool(value);
  else return false;
  return true;
}

bool TControlParser::ApplyFont(std::string_view key, std::string_view value, LayoutControl& c) {
  if (key == "fontface") c.font.face = std::string(value);
  else if (key == "fontsize") c.font.size = LayoutStrToInt(value);
  else if (key == "fontcolour") c.font.colour = LayoutStrToColour(value);
  else if (key == "fontbold") c.font.bold = LayoutStrToBool(value);
  else if (key == "darkfontcolour") c.DarkFontColour = LayoutStrToColour(value);
  else return false;
  return true;
}

void TControlParser::ApplyText(std::string_view value, LayoutControl& c) {
  c.raw_text = CodePageToUtf16(value);
  c.text = c.kind == ControlKind::kPanel ? PanelCaption(c.raw_text) : Resolve(c.raw_text);
}

void TControlParser::ApplyMemoText(std::string_view value, LayoutControl& c) {
  c.text = CodePageToUtf16(ReplaceAll(value, "<BR>", "\r"));
  c.rich_text.reset();
}

void TControlParser::LoadRichEditFile(LayoutControl& c, std::string_view value) {
  std::string name(value);
  if (env_.macros) name = CodePageFromUtf16(ApplyTextMacros(*env_.macros, CodePageToUtf16(value)));
  std::optional<std::vector<uint8_t>> data;
  if (env_.load_entry) data = env_.load_entry(name);
  if (!data) {
    if (env_.missing_entry) env_.missing_entry("Error: File \"" + name + "\" Missing", "Rich Edit Error");
    return;
  }
  c.rich_text = std::move(data);
}

void TControlParser::LoadImage(LayoutControl& c, std::string_view value) {
  c.image_name = std::string(value);
  c.image_format = ImageFormatFromName(value);
  c.image.reset();
  c.tile = false;
  if (env_.load_entry) c.image = env_.load_entry(value);
}

std::u16string TControlParser::Resolve(std::u16string_view raw) const {
  static const TLanguages kNoLanguages;
  static const TLanguageStrings kNoMacros;
  return ResolveDisplayText(env_.languages ? *env_.languages : kNoLanguages,
                            env_.macros ? *env_.macros : kNoMacros, raw);
}

std::u16string TControlParser::PanelCaption(std::u16string_view raw) const {
  return CodePageToUtf16(CodePageFromUtf16(Resolve(raw)));
}

void TControlParser::HideAll() {
  for (LayoutControl& c : controls_) c.visible = false;
}

void TControlParser::ShowAll() {
  for (LayoutControl& c : controls_) c.visible = true;
}

void TControlParser::RefreshTexts() {
  for (LayoutControl& c : controls_) {
    if (c.kind == ControlKind::kLabel) c.text = Resolve(c.raw_text);
    else if (c.kind == ControlKind::kPanel) c.text = PanelCaption(c.raw_text);
  }
}

std::vector<std::u16string> TControlParser::RawTexts() const {
  std::vector<std::u16string> out;
  out.reserve(controls_.size());
  for (const LayoutControl& c : controls_) out.push_back(c.raw_text);
  return out;
}

}  // namespace ferry
