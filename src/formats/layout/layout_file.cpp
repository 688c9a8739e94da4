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
  const char* Type;
  ControlKind Kind;
};

constexpr std::array<KindName, 11> kKinds = {{
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
    {"tradiobutton", ControlKind::kRadioButton},
}};

bool HasText(ControlKind k) {
  return k == ControlKind::kLabel || k == ControlKind::kEdit || k == ControlKind::kButton ||
         k == ControlKind::kPanel || k == ControlKind::kMemo || k == ControlKind::kRichEdit ||
         k == ControlKind::kRadioButton;
}

bool HasFont(ControlKind k) {
  return k == ControlKind::kLabel || k == ControlKind::kEdit || k == ControlKind::kPanel ||
         k == ControlKind::kMemo || k == ControlKind::kRichEdit || k == ControlKind::kRadioButton;
}

}  // namespace

EntryLoader PakEntryLoader(PakReader& pak) {
  return [&pak](std::string_view name) { return pak.LoadByName(name, 0); };
}

std::optional<ControlKind> ControlKindFromType(std::string_view type) {
  for (const KindName& k : kKinds)
    if (EqualsNoCase(type, k.Type)) return k.Kind;
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

ControlParser::ControlParser(LayoutEnv env, ComponentNames* names)
    : env_(std::move(env)), names_(names ? names : &own_names_) {}

void ControlParser::LoadLayout(std::string_view entryName) {
  std::optional<std::vector<uint8_t>> data;
  if (env_.LoadEntry) data = env_.LoadEntry(entryName);
  if (!data) {
    if (env_.MissingEntry) env_.MissingEntry("Error File Missing: |" + std::string(entryName) + "|", "Missing File");
    return;
  }
  LoadLayoutData(*data);
}

void ControlParser::LoadLayoutData(std::span<const uint8_t> data) {
  for (const LayoutSection& section : SplitSections(SplitLines(data))) CreateControl(section);
}

void ControlParser::CreateControl(const LayoutSection& lines) {
  std::string_view typeLine = lines.size() > 1 ? std::string_view(lines[1]) : std::string_view();
  std::optional<ControlKind> kind = ControlKindFromType(SplitAtEquals(typeLine).second);
  if (!kind) return;

  LayoutControl control;
  control.Kind = *kind;
  control.Name = SectionName(lines.empty() ? std::string_view() : std::string_view(lines[0]));
  ClaimName(control.Name);
  if (HasText(control.Kind)) control.Text = CodePageToUtf16(control.Name);
  controls_.push_back(std::move(control));

  for (size_t i = 2; i < lines.size(); ++i) {
    auto [name, value] = SplitAtEquals(lines[i]);
    ApplyProperty(name, value, controls_.back());
  }
}

void ControlParser::ClaimName(const std::string& name) {
  if (name.empty()) return;
  if (!IsValidComponentName(name)) throw SetupError("'" + name + "' is not a valid component name");
  if (!names_->insert(AsciiLowerCopy(name)).second)
    throw SetupError("A component named " + name + " already exists");
}

void ControlParser::ApplyProperty(std::string_view name, std::string_view value, LayoutControl& c) {
  std::string key = AsciiLowerCopy(name);
  ApplyCommon(key, value, c);
  if (HasFont(c.Kind) && ApplyFont(key, value, c)) return;

  switch (c.Kind) {
    case ControlKind::kLabel:
    case ControlKind::kEdit:
      if (key == (c.Kind == ControlKind::kLabel ? "caption" : "text")) ApplyText(value, c);
      else if (key == "autosize") c.AutoSize = LayoutStrToBool(value);
      else if (c.Kind == ControlKind::kLabel && key == "wordwrap") c.WordWrap = LayoutStrToBool(value);
      else if (c.Kind == ControlKind::kLabel && key == "transparent") c.Transparent = LayoutStrToBool(value);
      break;
    case ControlKind::kPanel:
      if (key == "caption") ApplyText(value, c);
      break;
    case ControlKind::kRadioButton:
      if (key == "caption") ApplyText(value, c);
      else if (key == "checked") c.Checked = LayoutStrToBool(value);
      break;
    case ControlKind::kMemo:
    case ControlKind::kRichEdit:
      if (key == "text") ApplyMemoText(value, c);
      else if (key == "border") c.Border = LayoutStrToBool(value);
      else if (c.Kind == ControlKind::kRichEdit && key == "file") LoadRichEditFile(c, value);
      break;
    case ControlKind::kProgressBar:
      if (key == "forecolour") c.ForeColour = LayoutStrToColour(value);
      else if (key == "backcolour") c.BackColour = LayoutStrToColour(value);
      break;
    case ControlKind::kImage:
      if (key == "file") LoadImage(c, value);
      else if (key == "stretch") c.Stretch = LayoutStrToBool(value);
      else if (key == "tile") c.Tile = c.Tile || (LayoutStrToBool(value) && c.Image.has_value());
      else if (key == "center") c.Center = LayoutStrToBool(value);
      else if (key == "transparent") c.Transparent = LayoutStrToBool(value);
      break;
    case ControlKind::kShellTreeView:
    case ControlKind::kButton:
    case ControlKind::kBevel:
      break;
  }
}

bool ControlParser::ApplyCommon(std::string_view key, std::string_view value, LayoutControl& c) {
  if (key == "left") c.Left = LayoutStrToInt(value);
  else if (key == "top") c.Top = LayoutStrToInt(value);
  else if (key == "width") c.Width = LayoutStrToInt(value);
  else if (key == "height") c.Height = LayoutStrToInt(value);
  else if (key == "enabled") c.Enabled = LayoutStrToBool(value);
  else return false;
  return true;
}

bool ControlParser::ApplyFont(std::string_view key, std::string_view value, LayoutControl& c) {
  if (key == "fontface") c.Font.Face = std::string(value);
  else if (key == "fontsize") c.Font.Size = LayoutStrToInt(value);
  else if (key == "fontcolour") c.Font.Colour = LayoutStrToColour(value);
  else if (key == "fontbold") c.Font.Bold = LayoutStrToBool(value);
  else if (key == "darkfontcolour") c.DarkFontColour = LayoutStrToColour(value);
  else return false;
  return true;
}

void ControlParser::ApplyText(std::string_view value, LayoutControl& c) {
  c.RawText = CodePageToUtf16(value);
  c.Text = c.Kind == ControlKind::kPanel ? PanelCaption(c.RawText) : Resolve(c.RawText);
}

void ControlParser::ApplyMemoText(std::string_view value, LayoutControl& c) {
  c.Text = CodePageToUtf16(ReplaceAll(value, "<BR>", "\r"));
  c.RichText.reset();
}

void ControlParser::LoadRichEditFile(LayoutControl& c, std::string_view value) {
  std::string name(value);
  if (env_.Macros) name = CodePageFromUtf16(ApplyTextMacros(*env_.Macros, CodePageToUtf16(value)));
  std::optional<std::vector<uint8_t>> data;
  if (env_.LoadEntry) data = env_.LoadEntry(name);
  if (!data) {
    if (env_.MissingEntry) env_.MissingEntry("Error: File \"" + name + "\" Missing", "Rich Edit Error");
    return;
  }
  c.RichText = std::move(data);
}

void ControlParser::LoadImage(LayoutControl& c, std::string_view value) {
  c.ImageName = std::string(value);
  c.ImageFormat = ImageFormatFromName(value);
  c.Image.reset();
  c.Tile = false;
  if (env_.LoadEntry) c.Image = env_.LoadEntry(value);
}

std::u16string ControlParser::Resolve(std::u16string_view raw) const {
  static const LanguageList kNoLanguages;
  static const TextMacroTable kNoMacros;
  return ResolveDisplayText(env_.Languages ? *env_.Languages : kNoLanguages,
                            env_.Macros ? *env_.Macros : kNoMacros, raw);
}

std::u16string ControlParser::PanelCaption(std::u16string_view raw) const {
  return CodePageToUtf16(CodePageFromUtf16(Resolve(raw)));
}

void ControlParser::HideAll() {
  for (LayoutControl& c : controls_) c.Visible = false;
}

void ControlParser::ShowAll() {
  for (LayoutControl& c : controls_) c.Visible = true;
}

void ControlParser::RefreshTexts() {
  for (LayoutControl& c : controls_) {
    if (c.Kind == ControlKind::kLabel || c.Kind == ControlKind::kRadioButton) c.Text = Resolve(c.RawText);
    else if (c.Kind == ControlKind::kPanel) c.Text = PanelCaption(c.RawText);
  }
}

std::vector<std::u16string> ControlParser::RawTexts() const {
  std::vector<std::u16string> out;
  out.reserve(controls_.size());
  for (const LayoutControl& c : controls_) out.push_back(c.RawText);
  return out;
}

}  // namespace ferry
