// The texts the program itself asks a language table for. The numbers are
// the ones every language file uses, so they never change; the texts a
// setup's own pages show are named by their layouts ("<LANGn>") instead.
#pragma once

namespace ferry {

// Captions of the wizard's buttons.
inline constexpr int kTextBackButton = 12;     // "< Back"
inline constexpr int kTextNextButton = 13;     // "Next >"
inline constexpr int kTextCancelButton = 14;   // "Cancel"
inline constexpr int kTextInstallButton = 15;  // "Install": Next on the page before the work
inline constexpr int kTextFinishButton = 16;   // "Finish": Cancel on the last page

// Status lines of the work.
inline constexpr int kTextCopyingFile = 17;          // "Copying File <%FILENAME%>"
inline constexpr int kTextExtractingFile = 18;       // "Extracting <%FILENAME%>"
inline constexpr int kTextProcessingFiles = 19;      // "Processing <%RKPNAME%>: <%FNUM%> of <%FTOTAL%> files"
inline constexpr int kTextWritingArchiveHeader = 20; // "Writing <%RKPNAME%>`s Header"
inline constexpr int kTextLoadingArchive = 29;       // "Loading <%RKPNAME%>"

// The message of a run that failed.
inline constexpr int kTextSetupFailed = 23;  // "Setup failed to install the product."
// The message of a run that finished with steps not done (exit code 4);
// tables written before it get the English text.
inline constexpr int kTextSetupIncomplete = 37;  // "Setup finished, but some steps were not done."
inline constexpr char16_t kSetupIncompleteEnglish[] = u"Setup finished, but some steps were not done.";

// The box that names files running programs hold, and the finish page of a
// run that completes at the next restart; tables written before them get
// the English texts.
inline constexpr int kTextHeldFilesCaption = 38;  // "Files in use"
inline constexpr char16_t kHeldFilesCaptionEnglish[] = u"Files in use";
inline constexpr int kTextHeldFilesLead = 39;  // "Programs that are running use files the setup must change:"
inline constexpr char16_t kHeldFilesLeadEnglish[] = u"Programs that are running use files the setup must change:";
inline constexpr int kTextHeldFilesRetry = 40;  // what Retry and Cancel do
inline constexpr char16_t kHeldFilesRetryEnglish[] =
    u"Close these programs, then choose Retry. Cancel ends the setup without changing anything.";
inline constexpr int kTextHeldFilesRestart = 41;  // what Try Again, Continue and Cancel do
inline constexpr char16_t kHeldFilesRestartEnglish[] =
    u"Close these programs, then choose Try Again. Continue replaces the files when the computer restarts next. "
    u"Cancel ends the setup without changing anything.";
inline constexpr int kTextRestartToComplete = 42;  // "Setup finished. Restart the computer to complete it."
inline constexpr char16_t kRestartToCompleteEnglish[] = u"Setup finished. Restart the computer to complete it.";

// A "scope either" setup: the question of one whose pages have no Scope
// page, and the message when the elevation prompt was declined. Tables
// written before them get the English texts. (43 to 45 are the starter's
// Scope page: its title and its two choices.)
inline constexpr int kTextElevationDeclined = 46;
inline constexpr char16_t kElevationDeclinedEnglish[] =
    u"Installing for everyone on this computer needs administrator rights, and the setup did not get them. "
    u"Nothing was changed.";
inline constexpr int kTextScopeQuestion = 47;
inline constexpr char16_t kScopeQuestionEnglish[] =
    u"Install <%SETUPSHORTTITLE%> for everyone on this computer?<BR><BR>Yes: for everyone (administrator rights are "
    u"asked for).<BR>No: only for you, without administrator rights.";

// The uninstaller's own: removing a machine install was refused the rights.
inline constexpr int kTextRemovalElevationDeclined = 48;
inline constexpr char16_t kRemovalElevationDeclinedEnglish[] =
    u"Removing a program installed for everyone on this computer needs administrator rights, and the uninstaller "
    u"did not get them. Nothing was removed.";

// What the uninstaller removes, named in kTextProcessingFiles's <%RKPNAME%>.
inline constexpr int kTextRegistryEntries = 24;  // "Registry entries"
inline constexpr int kTextFolders = 25;          // "Folders"

// The uninstaller's title: the setup's short title, a blank, this word.
inline constexpr int kTextUninstallTitleWord = 26;  // "Uninstall"

// The question asked before the wizard closes early.
inline constexpr int kTextQuitQuestion = 27;  // "Are you sure you want to quit the setup?"
inline constexpr int kTextQuitCaption = 28;   // "Quit"

// Every number above: a setup's language tables must each hold them all,
// which the compiler checks. A new text above joins this list too.
inline constexpr int kProgramTexts[] = {
    kTextBackButton, kTextNextButton, kTextCancelButton, kTextInstallButton, kTextFinishButton,
    kTextCopyingFile, kTextExtractingFile, kTextProcessingFiles, kTextWritingArchiveHeader, kTextLoadingArchive,
    kTextSetupFailed, kTextRegistryEntries, kTextFolders, kTextUninstallTitleWord,
    kTextQuitQuestion, kTextQuitCaption,
};

}  // namespace ferry
