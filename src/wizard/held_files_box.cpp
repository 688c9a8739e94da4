#include "wizard/held_files_box.h"

#include "base/text.h"
#include "formats/languages/languages.h"
#include "formats/languages/text_ids.h"

namespace ferry {

std::u16string HeldFilesBoxText(const LanguageList& languages, const std::vector<HeldFile>& held, bool offerRestart) {
  std::u16string text = languages.GetTextOr(kTextHeldFilesLead, kHeldFilesLeadEnglish) + u"\r\n";
  for (const HeldFile& h : held) {
    text += u"\r\n" + CodePageToUtf16(h.Path);
    // Program names need no words around them, so the line reads in any language.
    for (size_t i = 0; i < h.Programs.size(); ++i)
      text += (i == 0 ? u" (" : u", ") + CodePageToUtf16(h.Programs[i]) + (i + 1 == h.Programs.size() ? u")" : u"");
  }
  text += u"\r\n\r\n";
  return text + (offerRestart ? languages.GetTextOr(kTextHeldFilesRestart, kHeldFilesRestartEnglish)
                              : languages.GetTextOr(kTextHeldFilesRetry, kHeldFilesRetryEnglish));
}

HeldFilesAnswer HeldFilesBox::Ask(const std::vector<HeldFile>& held, bool atRestartPossible) {
  if (options_.RestartOk) return HeldFilesAnswer::kAtRestart;
  // Nobody to close the programs: the run names the files and stops.
  if (dialogs_.AnswersItself()) return HeldFilesAnswer::kStop;
  // A product archive is written in place: it cannot wait for a restart.
  const bool offer = options_.OfferRestart && atRestartPossible;
  const DialogAnswer answer =
      dialogs_.ShowUnicode(HeldFilesBoxText(languages_, held, offer),
                           languages_.GetTextOr(kTextHeldFilesCaption, kHeldFilesCaptionEnglish),
                           offer ? DialogButtons::kCancelTryContinue : DialogButtons::kRetryCancel, DialogIcon::kWarning);
  if (answer == DialogAnswer::kRetry) return HeldFilesAnswer::kRetry;
  if (answer == DialogAnswer::kContinue && offer) return HeldFilesAnswer::kAtRestart;
  return HeldFilesAnswer::kCancel;
}

}  // namespace ferry
