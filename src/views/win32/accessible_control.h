// What a screen reader learns of a control we draw ourselves (labels,
// panels, pictures, bevels, the gauge): its window answers WM_GETOBJECT
// with a small accessible object that asks the window, on every question,
// for its current name, role, state and value. oleacc and oleaut32 are
// loaded on first use; without them the window simply has no object.
#pragma once

#include <windows.h>

#include <string>

namespace ferry {

struct AccessibleFacts {
  long Role = 0;          // ROLE_SYSTEM_*
  std::wstring Name;
  std::wstring Value;     // empty: the control has no value
  long State = 0;         // STATE_SYSTEM_*, beside the visibility the window has
};

// Sent to a drawn control's window: lParam points to the AccessibleFacts to
// fill; the window returns 1 when it did.
inline constexpr UINT kMsgAccessibleFacts = WM_APP + 0x41;

// The answer to WM_GETOBJECT (wp, lp) of `hwnd`: an accessible object for
// its client area, 0 for any other object or when oleacc is missing.
LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp);

// Tells screen readers that the control's value (or name) changed.
void NotifyValueChanged(HWND hwnd);
void NotifyNameChanged(HWND hwnd);

}  // namespace ferry
