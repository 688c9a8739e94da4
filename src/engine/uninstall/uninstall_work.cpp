#include "engine/uninstall/uninstall_work.h"

#include <cmath>

#include "formats/install_log/uninstall_list.h"
#include "base/byte_reader.h"
#include "base/path_text.h"
#include "base/text.h"
#include "engine/path_safety.h"
#include "formats/install_log/registry_record.h"
#include "formats/languages/languages.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {

std::u16string Decimal(uint64_t n) { return CodePageToUtf16(std::to_string(n)); }

// The three lists in turn, with the gauge running over all of them.
class Replay {
 public:
  Replay(const UninstallWorkArgs& args, UninstallSystem& system, UninstallView& view)
      : args_(args), system_(system), view_(view) {}

  UninstallOutcome Run() {
    const UninstallList& log = args_.Log;
    const uint32_t nF = static_cast<uint32_t>(log.Files().size());
    const uint32_t nD = static_cast<uint32_t>(log.Directories().size());
    const uint32_t nR = static_cast<uint32_t>(log.RegistryEntries().size());
    out_.Total = nF + nD + nR;
    view_.SetStatusText(UninstallStartText(out_.Total));
    view_.SetGauge(0, static_cast<int32_t>(out_.Total));
    Files(nF);
    Directories(nF, nD);
    Registry(nF + nD, nR);
    system_.RemoveRegistration(args_.ShortTitle);
    if (!system_.DeleteInstallLog()) view_.Problem("The install log could not be deleted.");
    return out_;
  }

 private:
  void Show(std::u16string_view name, uint32_t i, uint32_t n, uint32_t before) {
    if (!ProgressDue(i, n)) return;
    view_.SetStatusText(FormatProgressText(args_.Languages, name, i, n));
    view_.SetGauge(static_cast<int32_t>(before + i), static_cast<int32_t>(out_.Total));
  }

  void Files(uint32_t nF) {
    for (uint32_t i = 1; i <= nF; ++i) {
      std::string path = args_.ExpandPathVars(args_.Log.Files()[i - 1]);
      // Named by the file it removes: no table has a word for "files".
      Show(CodePageToUtf16(path.substr(FolderOf(path).size())), i, nF, 0);
      if (!IsBelowDriveRoot(path)) {
        ++out_.Skipped;
        view_.Problem("Passed over the recorded file \"" + path + "\": not a full path of one file.");
        continue;
      }
      if (!system_.FileExists(path)) continue;
      if (system_.DeleteOneFile(path)) {
        ++out_.FilesDeleted;
      } else {
        ++out_.NotRemoved;
        view_.Problem("Could not delete \"" + path + "\".");
      }
    }
  }

  void Directories(uint32_t before, uint32_t nD) {
    const std::u16string name = args_.Languages.GetText(kTextFolders);
    const auto& dirs = args_.Log.Directories();
    for (uint32_t j = 1; j <= nD; ++j) {
      Show(name, j, nD, before);
      const std::string& dir = dirs[nD - j];
      if (!system_.DirectoryExists(dir)) continue;
      if (system_.RemoveEmptyFolder(dir)) ++out_.DirectoriesRemoved;
      else ++out_.DirectoriesKept;
    }
  }

  void Registry(uint32_t before, uint32_t nR) {
    const std::u16string name = args_.Languages.GetText(kTextRegistryEntries);
    for (uint32_t i = 1; i <= nR; ++i) {
      Show(name, i, nR, before);
      const std::string& line = args_.Log.RegistryEntries()[i - 1];
      std::optional<RegistryRecord> record = SplitRegistryRecord(line);
      if (!record) {
        ++out_.Skipped;
        view_.Problem("Skipped the registry record " + line + ": it does not split into root, key and value name.");
        continue;
      }
      if (system_.DeleteRegistryValue(RecordRootIndex(record->Root), record->Key, record->ValueName)) {
        ++out_.RegistryValuesDeleted;
      } else {
        ++out_.NotRemoved;
        view_.Problem("Could not delete the registry value \"" + record->ValueName + "\" of " + record->Root + "\\" +
                      record->Key + ".");
      }
    }
  }

  const UninstallWorkArgs& args_;
  UninstallSystem& system_;
  UninstallView& view_;
  UninstallOutcome out_;
};

}  // namespace

std::u16string FormatProgressText(const LanguageList& languages, std::u16string_view name, uint32_t number,
                                  uint32_t total) {
  std::u16string text = languages.GetText(kTextProcessingFiles);
  text = LanguageList::ReplaceAll(text, u"<%RKPNAME%>", name);
  text = LanguageList::ReplaceAll(text, u"<%FNUM%>", Decimal(number));
  return LanguageList::ReplaceAll(text, u"<%FTOTAL%>", Decimal(total));
}

bool ProgressDue(uint32_t i, uint32_t n) {
  if (n == 0) return false;
  return std::trunc(static_cast<double>(i) * 100.0 / static_cast<double>(n)) > 0.0;
}

std::u16string UninstallStartText(uint32_t total) { return u"Status: 0 of " + Decimal(total) + u" items remaining"; }

std::optional<std::string> CheckInstallLog(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  if (!r.Has(6)) return "it is " + std::to_string(bytes.size()) + " bytes long, shorter than its 6-byte counts";
  const size_t counts[3] = {r.U16(), r.U16(), r.U16()};
  const char* names[3] = {"file", "registry", "folder"};
  for (int list = 0; list < 3; ++list) {
    for (size_t i = 0; i < counts[list]; ++i) {
      if (!r.Has(2))
        return std::string("it ends inside ") + names[list] + " entry " + std::to_string(i + 1) + " of " +
               std::to_string(counts[list]);
      size_t length = r.U16();
      if (length > r.Remaining())
        return std::string(names[list]) + " entry " + std::to_string(i + 1) + " promises " + std::to_string(length) +
               " bytes where " + std::to_string(r.Remaining()) + " are left";
      r.Skip(length);
    }
  }
  if (!r.AtEnd()) return std::to_string(r.Remaining()) + " bytes follow its last entry";
  return std::nullopt;
}

UninstallOutcome RunUninstallWork(const UninstallWorkArgs& args, UninstallSystem& system, UninstallView& view) {
  return Replay(args, system, view).Run();
}

}  // namespace ferry
