#include "script_directives.h"

#include "base/text.h"

namespace ferry::tool {

const std::vector<DirectiveForm>& Directives() {
  static const std::vector<DirectiveForm> table = {
      {"data", 1, 2, nullptr, "", DirectiveCheck::kNone, "FILE [ENTRY]"},
      {"layout", 1, 2, nullptr, "", DirectiveCheck::kNone, "FILE [ENTRY]"},
      {"pages", 1, 1, "Pages.txt", "", DirectiveCheck::kNone, "FILE"},
      {"image", 1, 2, nullptr, "", DirectiveCheck::kImage, "FILE [ENTRY]"},
      {"changelog", 1, 2, nullptr, "", DirectiveCheck::kNone, "FILE [ENTRY]"},
      {"uninstall", 1, 2, nullptr, "UNINSTALL_", DirectiveCheck::kNone, "FILE [ENTRY]"},
      {"icon", 1, 1, "ICON.ICO", "UNINSTALL_", DirectiveCheck::kIcon, "FILE"},
      {"finaliser", 1, 1, "FINALISE.EXE", "UNINSTALL_", DirectiveCheck::kProgram, "FILE"},
  };
  return table;
}

const DirectiveForm* FindDirective(std::string_view name) {
  for (const DirectiveForm& d : Directives())
    if (EqualsNoCase(name, d.Name)) return &d;
  return nullptr;
}

const ProductDirective* FindProductDirective(std::string_view name) {
  static const ProductDirective table[] = {
      {"version", &ProductInformation::Version},
      {"publisher", &ProductInformation::Publisher},
      {"helpurl", &ProductInformation::HelpUrl},
  };
  for (const ProductDirective& d : table)
    if (EqualsNoCase(name, d.Name)) return &d;
  return nullptr;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::optional<std::string> DirectiveEntryName(const DirectiveForm& form, const std::string& baseName,
                                              const std::vector<uint8_t>& data, std::string& problem) {
  std::string name = std::string(form.Prefix) + (form.FixedEntry ? std::string(form.FixedEntry) : baseName);
  if (name.empty() || (!form.FixedEntry && baseName.empty())) {
    problem = "an empty entry name";
    return std::nullopt;
  }
  // The records the setup writes itself, and the language tables, which come
  // from "language" lines so that the uninstaller gets the same file.
  for (std::string_view reserved : {"SetupInfo", "CompiledLines", "ProductInfo", "UNINSTALL_SetupInfo",
                                   "UNINSTALL_CompiledLines"})
    if (EqualsNoCase(name, reserved)) {
      problem = "'" + name + "' is written by the compiler itself";
      return std::nullopt;
    }
  if (StartsWithNoCase(name, "LANGUAGE-") || StartsWithNoCase(name, "UNINSTALL_LANGUAGE-")) {
    problem = "language tables come from \"language\" and \"uninstalllanguage\" lines, not from '" + name + "'";
    return std::nullopt;
  }
  switch (form.Check) {
    case DirectiveCheck::kNone:
      break;
    case DirectiveCheck::kImage: {
      bool known = false;
      for (std::string_view ext : {".bmp", ".jpg", ".jpeg", ".ico", ".emf", ".wmf"})
        if (EndsWithNoCase(name, ext)) known = true;
      if (!known) {
        problem = "the setup tells pictures by their name's extension: '" + name +
                  "' should end in .bmp, .jpg, .jpeg, .ico, .emf or .wmf";
        return std::nullopt;
      }
      break;
    }
    case DirectiveCheck::kIcon:
      if (data.size() < 22 || data[0] != 0 || data[1] != 0 || data[2] != 1 || data[3] != 0 ||
          (data[4] == 0 && data[5] == 0)) {
        problem = "not an icon file (.ico with at least one image)";
        return std::nullopt;
      }
      break;
    case DirectiveCheck::kProgram:
      if (data.size() < 2 || data[0] != 'M' || data[1] != 'Z') {
        problem = "not a Windows program (no \"MZ\" header)";
        return std::nullopt;
      }
      break;
  }
  return name;
}

}  // namespace ferry::tool
