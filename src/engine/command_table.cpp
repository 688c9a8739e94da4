// The command table: the order that numbers the commands. ferryc, its
// decompiler and the stub all build their registry from here, so the numbers
// in a compiled stream always mean the same commands. Each command is
// described in its own file, engine/commands/<keyword>.cpp. Append new
// commands at the end; never reorder.
#include <iterator>

#include "engine/command_list.h"

namespace ferry {

extern const CommandDescriptor kGotoCommand, kNameCommand, kOutFileCommand, kInstallDirCommand, kInstallDirRegKeyCommand,
    kIfFileExistsCommand, kFileCommand, kDeleteCommand, kWriteRegStrCommand, kChangelogCommand, kRkpUpdateCommand,
    kRMDirCommand, kCreateDirectoryCommand, kCreateShortCutCommand, kMessageCommand, kMessageBoxCommand,
    kCopyFileCommand, kLanguageCommand, kFailureCommand, kPagesCommand, kShortNameCommand, kUninstallPagesCommand,
    kUninstallLanguageCommand, kPrefixCommand, kUninstallLogLoadCommand, kUninstallLogSaveCommand,
    kRkpOfficialCommand, kDuplicateEntryCommand, kWriteRegStrUrlCommand, kVfsUpdateCommand, kRenameCommand,
    kExecuteCommand, kExecuteCheckCommand, kPatchForCommand;

namespace {

const CommandDescriptor* const kTable[] = {
    &kGotoCommand,               // 1
    &kNameCommand,               // 2
    &kOutFileCommand,            // 3
    &kInstallDirCommand,         // 4
    &kInstallDirRegKeyCommand,   // 5
    &kIfFileExistsCommand,       // 6
    &kFileCommand,               // 7
    &kDeleteCommand,             // 8
    &kWriteRegStrCommand,        // 9
    &kChangelogCommand,          // 10
    &kRkpUpdateCommand,          // 11
    &kRMDirCommand,              // 12
    &kCreateDirectoryCommand,    // 13
    &kCreateShortCutCommand,     // 14
    &kMessageCommand,            // 15
    &kMessageBoxCommand,         // 16
    &kCopyFileCommand,           // 17
    &kLanguageCommand,           // 18
    &kFailureCommand,            // 19
    &kPagesCommand,              // 20
    &kShortNameCommand,          // 21
    &kUninstallPagesCommand,     // 22
    &kUninstallLanguageCommand,  // 23
    &kPrefixCommand,             // 24
    &kUninstallLogLoadCommand,   // 25
    &kUninstallLogSaveCommand,   // 26
    &kRkpOfficialCommand,        // 27
    &kDuplicateEntryCommand,     // 28
    &kWriteRegStrUrlCommand,     // 29
    &kVfsUpdateCommand,          // 30
    &kRenameCommand,             // 31
    &kExecuteCommand,            // 32
    &kExecuteCheckCommand,       // 33
    &kPatchForCommand,           // 34
};

}  // namespace

const int kCommandCount = static_cast<int>(std::size(kTable));

void RegisterCommands(CommandList& list) {
  for (const CommandDescriptor* descriptor : kTable) list.Add(std::make_unique<CommandClass>(*descriptor));
}

}  // namespace ferry
