// The command table: every command's keyword, kind and minimum parameter
// count, and the order that numbers them. ferryc and the stub both build
// their registry from here, so the numbers in a compiled stream always mean
// the same commands. Append new commands at the end; never reorder.
#include "engine/command_list.h"

#include "engine/commands/goto_command.h"
#include "engine/commands/name_command.h"
#include "engine/commands/outfile_command.h"
#include "engine/commands/installdir_command.h"
#include "engine/commands/installdirregkey_command.h"
#include "engine/commands/iffileexists_command.h"
#include "engine/commands/file_command.h"
#include "engine/commands/delete_command.h"
#include "engine/commands/writeregstr_command.h"
#include "engine/commands/changelog_command.h"
#include "engine/commands/rkpupdate_command.h"
#include "engine/commands/rmdir_command.h"
#include "engine/commands/createdirectory_command.h"
#include "engine/commands/createshortcut_command.h"
#include "engine/commands/message_command.h"
#include "engine/commands/messagebox_command.h"
#include "engine/commands/copyfile_command.h"
#include "engine/commands/language_command.h"
#include "engine/commands/failure_command.h"
#include "engine/commands/pages_command.h"
#include "engine/commands/shortname_command.h"
#include "engine/commands/uninstallpages_command.h"
#include "engine/commands/uninstalllanguage_command.h"
#include "engine/commands/prefix_command.h"
#include "engine/commands/uninstalllogload_command.h"
#include "engine/commands/uninstalllogsave_command.h"
#include "engine/commands/rkpofficial_command.h"
#include "engine/commands/duplicateentry_command.h"
#include "engine/commands/writeregstr_url_command.h"
#include "engine/commands/vfsupdate_command.h"
#include "engine/commands/rename_command.h"
#include "engine/commands/execute_command.h"

namespace ferry {

namespace {

constexpr bool kSetting = true;
constexpr bool kAction = false;

}  // namespace

// TCommandClass(keyword, setting or action, group kind, minimum parameters)
TGotoCommand::TGotoCommand() : TCommandClass("goto",              kAction, 0, 1) {}
TNameCommand::TNameCommand() : TCommandClass("name",              kSetting, 0, 1) {}
TOutFileCommand::TOutFileCommand() : TCommandClass("outfile",           kSetting, 0, 1) {}
TInstallDirCommand::TInstallDirCommand() : TCommandClass("installdir",        kSetting, 0, 1) {}
TInstallDirRegKeyCommand::TInstallDirRegKeyCommand() : TCommandClass("installdirregkey",  kSetting, 0, 3) {}
TIfFileExistsCommand::TIfFileExistsCommand() : TCommandClass("iffileexists",      kAction, 0, 3) {}
TFileCommand::TFileCommand() : TCommandClass("file",              kAction, 1, 1) {}
TDeleteCommand::TDeleteCommand() : TCommandClass("delete",            kAction, 0, 1) {}
TWriteRegStrCommand::TWriteRegStrCommand() : TCommandClass("writeregstr",       kAction, 0, 4) {}
TChangelogCommand::TChangelogCommand() : TCommandClass("changelog",         kSetting, 0, 1) {}
TRKPUpdateCommand::TRKPUpdateCommand() : TCommandClass("rkpupdate",         kAction, 2, 3) {}
TRMDirCommand::TRMDirCommand() : TCommandClass("rmdir",             kAction, 0, 2) {}
TCreateDirectoryCommand::TCreateDirectoryCommand() : TCommandClass("createdirectory",   kAction, 0, 1) {}
TCreateShortCutCommand::TCreateShortCutCommand() : TCommandClass("createshortcut",    kAction, 0, 3) {}
TMessageCommand::TMessageCommand() : TCommandClass("message",           kAction, 0, 1) {}
TMessageBoxCommand::TMessageBoxCommand() : TCommandClass("messagebox",        kAction, 0, 4) {}
TCopyFileCommand::TCopyFileCommand() : TCommandClass("copyfile",          kAction, 0, 2) {}
TLanguageCommand::TLanguageCommand() : TCommandClass("language",          kAction, 0, 1) {}
TFailureCommand::TFailureCommand() : TCommandClass("failure",           kAction, 0, 0) {}
TPagesCommand::TPagesCommand() : TCommandClass("pages",             kSetting, 0, 1) {}
TShortNameCommand::TShortNameCommand() : TCommandClass("shortname",         kSetting, 0, 1) {}
TUninstallPagesCommand::TUninstallPagesCommand() : TCommandClass("uninstallpages",    kSetting, 0, 1) {}
TUninstallLanguageCommand::TUninstallLanguageCommand() : TCommandClass("uninstalllanguage", kAction, 0, 1) {}
TUninstallPrefixCommand::TUninstallPrefixCommand() : TCommandClass("prefix",            kSetting, 0, 1) {}
TUninstallLogLoadCommand::TUninstallLogLoadCommand() : TCommandClass("uninstalllogload",  kAction, 0, 1) {}
TUninstallLogSaveCommand::TUninstallLogSaveCommand() : TCommandClass("uninstalllogsave",  kAction, 0, 1) {}
TRKPOfficialCommand::TRKPOfficialCommand() : TCommandClass("rkpofficial",       kAction, 0, 3) {}
TDuplicateEntryCommand::TDuplicateEntryCommand() : TCommandClass("duplicateentry",    kAction, 0, 3) {}
TWriteRegStr_URLCommand::TWriteRegStr_URLCommand() : TCommandClass("writeregstr_url",   kAction, 0, 3) {}
TVFSUpdateCommand::TVFSUpdateCommand() : TCommandClass("vfsupdate",         kAction, 2, 2) {}
TRenameCommand::TRenameCommand() : TCommandClass("rename",            kAction, 0, 2) {}
TExecuteCommand::TExecuteCommand() : TCommandClass("execute",           kAction, 0, 1) {}

void RegisterCommands(TCommandList& list) {
  list.Add(std::make_unique<TGotoCommand>());                            // 1
  list.Add(std::make_unique<TNameCommand>());                            // 2
  list.Add(std::make_unique<TOutFileCommand>());                         // 3
  list.Add(std::make_unique<TInstallDirCommand>());                      // 4
  list.Add(std::make_unique<TInstallDirRegKeyCommand>());                // 5
  list.Add(std::make_unique<TIfFileExistsCommand>());                    // 6
  list.Add(std::make_unique<TFileCommand>());                            // 7
  list.Add(std::make_unique<TDeleteCommand>());                          // 8
  list.Add(std::make_unique<TWriteRegStrCommand>());                     // 9
  list.Add(std::make_unique<TChangelogCommand>());                       // 10
  list.Add(std::make_unique<TRKPUpdateCommand>());                       // 11
  list.Add(std::make_unique<TRMDirCommand>());                           // 12
  list.Add(std::make_unique<TCreateDirectoryCommand>());                 // 13
  list.Add(std::make_unique<TCreateShortCutCommand>());                  // 14
  list.Add(std::make_unique<TMessageCommand>());                         // 15
  list.Add(std::make_unique<TMessageBoxCommand>());                      // 16
  list.Add(std::make_unique<TCopyFileCommand>());                        // 17
  list.Add(std::make_unique<TLanguageCommand>());                        // 18
  list.Add(std::make_unique<TFailureCommand>());                         // 19
  list.Add(std::make_unique<TPagesCommand>());                           // 20
  list.Add(std::make_unique<TShortNameCommand>());                       // 21
  list.Add(std::make_unique<TUninstallPagesCommand>());                  // 22
  list.Add(std::make_unique<TUninstallLanguageCommand>());               // 23
  list.Add(std::make_unique<TUninstallPrefixCommand>());                 // 24
  list.Add(std::make_unique<TUninstallLogLoadCommand>());                // 25
  list.Add(std::make_unique<TUninstallLogSaveCommand>());                // 26
  list.Add(std::make_unique<TRKPOfficialCommand>());                     // 27
  list.Add(std::make_unique<TDuplicateEntryCommand>());                  // 28
  list.Add(std::make_unique<TWriteRegStr_URLCommand>());                 // 29
  list.Add(std::make_unique<TVFSUpdateCommand>());                       // 30
  list.Add(std::make_unique<TRenameCommand>());                          // 31
  list.Add(std::make_unique<TExecuteCommand>());                         // 32
}

}  // namespace ferry
