// What the keyboard needs of the wizard's window, worked out without it:
// access keys for the buttons' captions and the reading order that Tab
// follows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ferry {

// Each caption marked with an access key ("&"): its first letter or digit
// that no caption before it took, compared without case. Only Latin and
// Cyrillic letters and digits become keys; a caption without a free one
// (all Japanese, say) gets none. A "&" of the text itself is doubled, so it
// shows as written.
std::vector<std::u16string> WithAccessKeys(const std::vector<std::u16string>& captions);

// The text as shown, without its access-key marks.
std::u16string WithoutAccessKeys(std::u16string_view caption);

// Where a control sits on the window.
struct ControlPlace {
  int Left = 0;
  int Top = 0;
};

// The indexes of `places` in reading order: top to bottom, then left to right.
std::vector<size_t> ReadingOrder(const std::vector<ControlPlace>& places);

}  // namespace ferry
