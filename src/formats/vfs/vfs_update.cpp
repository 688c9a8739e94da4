#include "formats/vfs/vfs_update.h"

#include <charconv>

#include "base/path_text.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "formats/vfs/vfs_check.h"
#include "formats/languages/text_ids.h"
#include "formats/vfs/vfs_fs.h"

namespace ferry {

namespace {

uint32_t ParseGroup(const std::string& text) {
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty())
    throw SetupError("vfsupdate: \"" + text + "\" is not a group number");
  return value;
}

std::u16string Decimal(uint32_t n) { return CodePageToUtf16(std::to_string(n)); }

}  // namespace

VfsUpdateSession::VfsUpdateSession(FileSystem& fs, VfsEntrySource& entries, VfsUpdateUi& ui)
    : fs_(fs), entries_(entries), ui_(ui) {}

VfsUpdateSession::~VfsUpdateSession() = default;

void VfsUpdateSession::Status(int id, uint32_t done, uint32_t total) {
  std::vector<VfsTextMacro> macros{{"<%RKPNAME%>", CodePageToUtf16(archive_name_)}};
  if (id == kTextProcessingFiles) {
    macros.push_back({"<%FNUM%>", Decimal(done)});
    macros.push_back({"<%FTOTAL%>", Decimal(total)});
  }
  ui_.SetStatusText(ui_.Text(id, macros));
}

void VfsUpdateSession::CloseOpenArchive() {
  Status(kTextWritingArchiveHeader);
  archive_->FlushArchive();
  archive_->CloseArchive();
  archive_.reset();
}

bool VfsUpdateSession::Run(const std::vector<std::string>& params, const std::string& installDir) {
  if (params.size() < 3) throw SetupError("vfsupdate: the line has " + std::to_string(params.size()) +
                                          " parameters, at least 3 are needed");
  uint32_t group = ParseGroup(params.back());
  bool close = params.size() < 4 || params[2] == "1";
  const std::string& name = params[1];

  auto entries = entries_.GroupEntries(group);
  if (entries.empty()) return true;
  files_total_ = static_cast<uint32_t>(entries.size());

  std::string fullPath = JoinPath(installDir, name);
  if (!fs_.FileExists(fullPath)) return false;

  if (archive_) CloseOpenArchive();
  // Damage found before the first write of the run into an archive: the
  // update would write a fresh digest over it. Checked once a run; after
  // that the archive is what this run made of it.
  if (checked_.insert(AsciiLowerCopy(fullPath)).second) {
    const VfsCheckReport check = CheckVfsArchive(fs_, fullPath);
    if (!check.Ok())
      throw SetupError("The VFS archive " + fullPath + " is damaged (" + check.Errors.front() +
                       "); nothing was written into it. Repair or reinstall the product, then run the setup again.");
  }
  archive_name_ = name;
  Status(kTextLoadingArchive);
  auto archive = std::make_unique<VfsFile>(fs_);
  if (today_) archive->SetToday(today_);
  archive->OpenArchive(fullPath, false);
  archive_ = std::move(archive);

  files_done_ = 0;
  last_percentage_ = 0;
  Status(kTextProcessingFiles, files_done_, files_total_);
  try {
    for (const auto& entry : entries) {
      uint32_t percentage = static_cast<uint32_t>(uint64_t{100} * files_done_ / files_total_);
      bool counted = percentage > last_percentage_;
      if (counted) last_percentage_ = percentage;
      Status(kTextProcessingFiles, files_done_, files_total_);
      std::vector<uint8_t> data;
      // Empty entries carry no data to load; they become empty files.
      if (entry.OrigSize > 0) {
        auto loaded = entries_.LoadEntry(entry.Index);
        if (!loaded || loaded->size() != entry.OrigSize)
          throw SetupError("vfsupdate: cannot read \"" + entry.Name + "\" (" + std::to_string(entry.OrigSize) +
                           " bytes) from the setup archive");
        data = std::move(*loaded);
      }
      archive_->Tree().UpdateFile(entry.Name, data.empty() ? nullptr : data.data(), entry.OrigSize);
      ui_.StepGauge(counted);
      ++files_done_;
    }
  } catch (...) {
    // Half an update is worse than none: the journal puts back what was
    // written since the archive was last flushed.
    archive_->RollBack();
    archive_.reset();
    throw;
  }
  // The count says what was done: "N of N" once the last file is in.
  Status(kTextProcessingFiles, files_done_, files_total_);
  if (close) CloseOpenArchive();
  return true;
}

void VfsUpdateSession::Finish() {
  if (archive_) CloseOpenArchive();
}

}  // namespace ferry
