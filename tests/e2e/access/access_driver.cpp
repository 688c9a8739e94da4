// Reads the wizard as a screen reader does, from outside its process:
// starts a setup, walks its install pages and on each one asks the
// accessibility interface (AccessibleObjectFromWindow) for every control
// the page shows: its name, role, state and value must match what the
// control shows. Also presses keys as a keyboard user: Tab order, Enter,
// Escape, and that focus stays on a visible control.
//
//   access_driver SETUP.EXE [SHOTS-DIR]
//
// Prints one line per check ("ok ..." / "FAIL ...") and exits with the
// number of failed checks (100 + n when the run could not go on). With
// SHOTS-DIR the welcome and install-folder pages are saved there (BMP).
#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++failures;
}

[[noreturn]] void Abort(const std::string& why) {
  std::printf("FAIL %s (cannot go on)\n", why.c_str());
  std::fflush(stdout);
  std::exit(100 + failures);
}

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring ClassOf(HWND w) {
  wchar_t cls[128] = {};
  GetClassNameW(w, cls, 127);
  return cls;
}

std::wstring TextOf(HWND w) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return L"";
  std::wstring text(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000, &got);
  text.resize(got);
  return text;
}

// A caption as read aloud: the mnemonic's "&" is not spoken ("&&" is one "&").
std::wstring Spoken(const std::wstring& caption) {
  std::wstring out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

std::string NameOf(HWND w) {
  auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(w, L"FerryName")));
  wchar_t name[256] = {};
  if (atom) GlobalGetAtomNameW(atom, name, 255);
  return Narrow(name);
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND TopWindow(DWORD pid, const wchar_t* cls, int ms) {
  struct Ctx {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
  } ctx{pid, cls, nullptr};
  for (int waited = 0; waited < ms && !ctx.found; waited += 50) {
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
          auto* c = reinterpret_cast<Ctx*>(lp);
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == c->pid && IsWindowVisible(w) && ClassOf(w) == c->cls) c->found = w;
          return !c->found;
        },
        reinterpret_cast<LPARAM>(&ctx));
    if (!ctx.found) Sleep(50);
  }
  return ctx.found;
}

HWND ByName(HWND form, const std::string& name) {
  for (HWND w : Children(form))
    if (lstrcmpiA(NameOf(w).c_str(), name.c_str()) == 0) return w;
  return nullptr;
}

HWND ById(HWND form, int id) {
  for (HWND w : Children(form))
    if (GetParent(w) == form && GetDlgCtrlID(w) == id) return w;
  return nullptr;
}

void Settle(HWND form) {
  Sleep(200);
  DWORD_PTR r = 0;
  SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r);
  Sleep(100);
}

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

// ---- what a screen reader reads -------------------------------------------

struct Read {
  bool Ok = false;
  long Role = 0, State = 0;
  std::wstring Name, Value;
};

Read ReadAccessible(HWND w) {
  Read r;
  IAccessible* acc = nullptr;
  if (FAILED(AccessibleObjectFromWindow(w, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&acc))) || !acc)
    return r;
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT v;
  VariantInit(&v);
  if (acc->get_accRole(self, &v) == S_OK && v.vt == VT_I4) r.Role = v.lVal;
  VariantClear(&v);
  if (acc->get_accState(self, &v) == S_OK && v.vt == VT_I4) r.State = v.lVal;
  VariantClear(&v);
  BSTR text = nullptr;
  if (acc->get_accName(self, &text) == S_OK && text) r.Name = text;
  SysFreeString(text);
  text = nullptr;
  if (acc->get_accValue(self, &text) == S_OK && text) r.Value = text;
  SysFreeString(text);
  acc->Release();
  r.Ok = true;
  return r;
}

std::string RoleName(long role) {
  wchar_t text[128] = {};
  GetRoleTextW(static_cast<DWORD>(role), text, 127);
  return Narrow(text) + " (" + std::to_string(role) + ")";
}

// The role a control of this window class must report, with whether its
// name is the window's text (labels, buttons) or may be anything (an
// edit's name comes from outside it). Standard controls are answered by the
// system's own objects: Wine 8 has none for them and reports every one as a
// bare client area, Windows as what it is; both are taken for those.
struct Expected {
  long Role;
  bool NameIsText;
  bool SystemObject = false;
};

bool ExpectedFor(HWND w, Expected& e) {
  std::wstring cls = ClassOf(w);
  std::wstring text = TextOf(w);
  if (cls == L"Button") e = {ROLE_SYSTEM_PUSHBUTTON, true, true};
  else if (cls == L"Edit" || cls.find(L"RICHEDIT") == 0 || cls.find(L"RichEdit") == 0) e = {ROLE_SYSTEM_TEXT, false, true};
  else if (cls == L"SysTreeView32") e = {ROLE_SYSTEM_OUTLINE, false, true};
  else if (cls == L"FerryGradGauge") e = {ROLE_SYSTEM_PROGRESSBAR, true};
  else if (cls == L"FerryGraphicControl" && !text.empty()) e = {ROLE_SYSTEM_STATICTEXT, true};
  else if (cls == L"FerryGraphicControl") e = {0, false};  // a picture or a line: any role but a bare client area
  else return false;
  return true;
}

// Every visible control of the form, read as a screen reader reads it.
void CheckPage(HWND form, const std::string& page) {
  Read whole = ReadAccessible(form);
  Check(whole.Ok, page + ": the window has an accessible object");
  int checked = 0;
  std::string wrong;
  for (HWND w : Children(form)) {
    Expected e;
    if (!IsWindowVisible(w) || !ExpectedFor(w, e)) continue;
    ++checked;
    Read r = ReadAccessible(w);
    std::wstring shown = Spoken(TextOf(w));
    std::string who = "\"" + (NameOf(w).empty() ? Narrow(shown) : NameOf(w)) + "\"";
    if (!r.Ok) {
      wrong += " " + who + " has no object;";
      continue;
    }
    bool roleOk = e.Role ? r.Role == e.Role || (e.SystemObject && r.Role == ROLE_SYSTEM_CLIENT)
                         : r.Role != ROLE_SYSTEM_CLIENT && r.Role != 0;
    if (!roleOk) wrong += " " + who + " reads as " + RoleName(r.Role) + ";";
    if (e.NameIsText && r.Name != shown)
      wrong += " " + who + " is named \"" + Narrow(r.Name) + "\" but shows \"" + Narrow(shown) + "\";";
    if (e.Role == ROLE_SYSTEM_PROGRESSBAR && (r.Value.empty() || r.Value != shown))
      wrong += " " + who + " has the value \"" + Narrow(r.Value) + "\" but shows \"" + Narrow(shown) + "\";";
    if (r.State & STATE_SYSTEM_INVISIBLE) wrong += " " + who + " is shown but reads as invisible;";
  }
  Check(checked > 0 && wrong.empty(),
        page + ": " + std::to_string(checked) + " controls read as they show" + (wrong.empty() ? "" : ":" + wrong));
}

// ---- the keyboard ----------------------------------------------------------

HWND Focus(HWND form) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
  return info.hwndFocus;
}

void Key(HWND form, UINT vk) {
  HWND target = Focus(form);
  if (!target) target = form;
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
  Settle(form);
}

std::string Describe(HWND w) {
  if (!w) return "nothing";
  std::string name = NameOf(w);
  return name.empty() ? "\"" + Narrow(Spoken(TextOf(w))) + "\"" : name;
}

// Tab from the focused control visits the controls in reading order: the
// page's from the top left, then the buttons from left to right, and wraps.
void CheckTabOrder(HWND form, const std::string& page, const std::vector<HWND>& order) {
  std::string seen;
  bool ok = true;
  for (size_t i = 0; i < order.size() + 1; ++i) {
    HWND focus = Focus(form);
    seen += (seen.empty() ? "" : " > ") + Describe(focus);
    if (focus != order[i % order.size()]) {
      ok = false;
      break;
    }
    Key(form, VK_TAB);
  }
  Check(ok, page + ": Tab goes through the controls in reading order: " + seen);
}

bool FocusVisible(HWND form) {
  HWND f = Focus(form);
  return f && IsWindowVisible(f) && IsWindowEnabled(f);
}

void SaveShot(HWND form, const std::string& dir, const std::string& name) {
  if (dir.empty()) return;
  RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);
  RECT c;
  GetClientRect(form, &c);
  POINT o = {0, 0};
  ClientToScreen(form, &o);
  int w = c.right, h = c.bottom, stride = (w * 3 + 3) & ~3;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, static_cast<DWORD>(stride * h), 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, o.x, o.y, SRCCOPY);
  GdiFlush();
  BITMAPFILEHEADER fh = {0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  fh.bfSize = fh.bfOffBits + bi.bmiHeader.biSizeImage;
  if (FILE* f = std::fopen((dir + "\\" + name + ".bmp").c_str(), "wb")) {
    std::fwrite(&fh, sizeof(fh), 1, f);
    std::fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f);
    std::fwrite(bits, 1, bi.bmiHeader.biSizeImage, f);
    std::fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  std::printf("shot %s (%dx%d)\n", name.c_str(), w, h);
}

enum { kBack = 2, kNext = 3, kCancel = 4, kLanguage = 5 };

// Where `w` lies in the form's client area.
RECT PlaceOf(HWND form, HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Whether `w` lies at the layout's place for `dpi`; a width of 0 is not
// checked (a label sized by its text). Otherwise says where it lies.
bool Placed(HWND form, HWND w, int dpi, int left, int top, int width, int height, std::string& where) {
  RECT r = PlaceOf(form, w);
  bool ok = r.left == MulDiv(left, dpi, 96) && r.top == MulDiv(top, dpi, 96) &&
            (!width || (r.right - r.left == MulDiv(width, dpi, 96) && r.bottom - r.top == MulDiv(height, dpi, 96)));
  if (!ok)
    where += " " + NameOf(w) + Narrow(Spoken(NameOf(w).empty() ? TextOf(w) : L"")) + " at " + std::to_string(r.left) +
             "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
             std::to_string(r.bottom - r.top) + ";";
  return ok;
}

bool LaidOut(HWND form, int dpi, std::string& where) {
  bool next = Placed(form, ById(form, kNext), dpi, 416, 384, 73, 25, where);
  bool title = Placed(form, ByName(form, "WelcomeTitle"), dpi, 184, 24, 0, 0, where);
  bool side = Placed(form, ByName(form, "WelcomeSide"), dpi, 0, 0, 164, 340, where);
  return next && title && side;
}

// The form told that it moved to a monitor at `dpi`, as Windows does, with
// the rectangle it suggests, written into the wizard's process since the
// message carries a pointer to it.
bool MoveToDpi(HWND form, DWORD pid, int dpi, const RECT& suggested) {
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  void* remote = process ? VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE) : nullptr;
  bool sent = remote && WriteProcessMemory(process, remote, &suggested, sizeof(suggested), nullptr);
  DWORD_PTR result = 0;
  if (sent)
    sent = SendMessageTimeoutW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote),
                               SMTO_ABORTIFHUNG, 10000, &result) != 0;
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (process) CloseHandle(process);
  Settle(form);
  return sent;
}

// On another monitor's scale the buttons, the page's labels and pictures
// are laid out for it, the window takes the suggested rectangle; back on
// the first, everything is as before.
void CheckDpiChange(HWND form, DWORD pid) {
  RECT client;
  GetClientRect(form, &client);
  int dpi = MulDiv(client.right, 96, 578);
  RECT before;
  GetWindowRect(form, &before);
  // Up to 200 % from 100 %, else down to 100 %: the window stays on the screen.
  int to = dpi > 96 ? 96 : 192;
  RECT suggested = {before.left, before.top, before.left + MulDiv(before.right - before.left, to, dpi),
                    before.top + MulDiv(before.bottom - before.top, to, dpi)};
  std::string where;
  Check(MoveToDpi(form, pid, to, suggested), "WM_DPICHANGED to " + std::to_string(to) + " dpi sent");
  RECT now;
  GetWindowRect(form, &now);
  Check(EqualRect(&now, &suggested), "at " + std::to_string(to) + " dpi the window takes the suggested rectangle");
  Check(LaidOut(form, to, where),
        "at " + std::to_string(to) + " dpi the buttons, the title and the picture are laid out for that scale" + where);
  MoveToDpi(form, pid, dpi, before);
  GetWindowRect(form, &now);
  where.clear();
  Check(EqualRect(&now, &before) && LaidOut(form, dpi, where),
        "back at " + std::to_string(dpi) + " dpi the window is as before" + where);
}

void Next(HWND form) {
  PostMessageW(ById(form, kNext), BM_CLICK, 0, 0);
  Settle(form);
}

int Run(const std::wstring& setup, const std::string& shots) {
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::wstring cmd = L"\"" + setup + L"\"";
  if (!CreateProcessW(setup.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    Abort("cannot start the setup");
  HWND form = TopWindow(pi.dwProcessId, L"FerryWizardForm", 30000);
  if (!form) Abort("no wizard window appeared");
  Settle(form);
  HWND back = ById(form, kBack), next = ById(form, kNext), cancel = ById(form, kCancel),
       language = ById(form, kLanguage);

  CheckPage(form, "welcome");
  CheckDpiChange(form, pi.dwProcessId);
  Check(FocusVisible(form) && Focus(form) == next, "welcome: focus starts on " + Describe(Focus(form)));
  CheckTabOrder(form, "welcome", {next, cancel, language});
  SaveShot(form, shots, "welcome");

  // Escape asks before closing, as Cancel does; No keeps the wizard.
  Key(form, VK_ESCAPE);
  HWND box = TopWindow(pi.dwProcessId, L"#32770", 5000);
  Check(box != nullptr, "Escape asks whether to cancel the setup");
  if (box) {
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    Settle(form);
  }
  Check(IsWindowVisible(form) && IsWindowVisible(ByName(form, "WelcomeTitle")), "after No the wizard stays");
  // The Tab round above ended on Cancel.
  Check(Focus(form) == cancel, "after the question focus is back on Cancel: " + Describe(Focus(form)));

  // Enter presses the focused button: from Cancel on to Next, then Enter.
  SetForegroundWindow(form);
  Key(form, VK_TAB);
  Key(form, VK_TAB);
  Check(Focus(form) == next, "two Tabs on: " + Describe(Focus(form)));
  Key(form, VK_RETURN);
  HWND rich = ByName(form, "ChangelogView");
  Check(WaitUntil([&] { return rich && IsWindowVisible(rich); }, 5000), "Enter moves to the change log page");
  CheckPage(form, "change log");
  Check(FocusVisible(form), "change log: focus on a visible control, " + Describe(Focus(form)));

  // Alt and the underlined letter press a button.
  std::wstring nextCaption = TextOf(next);
  size_t amp = nextCaption.find(L'&');
  Check(amp != std::wstring::npos && amp + 1 < nextCaption.size(),
        "Next has an access key: \"" + Narrow(nextCaption) + "\"");
  if (amp != std::wstring::npos && amp + 1 < nextCaption.size()) {
    PostMessageW(Focus(form), WM_SYSCHAR, towlower(nextCaption[amp + 1]), 1 << 29);
    Settle(form);
  }
  HWND edit = ByName(form, "installdir_edit"), tree = ByName(form, "installdir_shelltreeview");
  Check(edit && IsWindowVisible(edit), "the install folder page shows its edit");
  CheckPage(form, "install folder");
  SaveShot(form, shots, "installdir");
  // The edit lies above the tree on the page.
  // A click puts the focus in the edit.
  SetForegroundWindow(form);
  PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  Settle(form);
  CheckTabOrder(form, "install folder", {edit, tree, language, back, next, cancel});

  Next(form);
  CheckPage(form, "ready");
  Check(FocusVisible(form), "ready: focus on a visible control, " + Describe(Focus(form)));

  // The work is held by a message box of the script: the page is read then.
  Next(form);
  box = TopWindow(pi.dwProcessId, L"#32770", 60000);
  Check(box != nullptr, "the script's message box holds the work");
  if (!box) Abort("the work page was not held");
  Settle(box);
  CheckPage(form, "progress");
  Read gauge = ReadAccessible(ByName(form, "patching_progressbar"));
  Read status = ReadAccessible(ByName(form, "patching_statuslabel"));
  Check(gauge.Role == ROLE_SYSTEM_PROGRESSBAR && gauge.Value.size() > 1 && gauge.Value.back() == L'%',
        "progress: the gauge reads as a progress bar at \"" + Narrow(gauge.Value) + "\"");
  Check(!status.Name.empty(), "progress: the status line reads \"" + Narrow(status.Name) + "\"");
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  // The demo asks a question of its own on the way: answered OK.
  HWND finish = nullptr;
  WaitUntil([&] {
    if (HWND question = TopWindow(pi.dwProcessId, L"#32770", 1)) PostMessageW(question, WM_COMMAND, IDOK, 0);
    return (finish = ByName(form, "finishtext")) && IsWindowVisible(finish);
  }, 120000);
  Check(finish && IsWindowVisible(finish), "the install ends on the finish page");
  // The last box of the work was the active window: the wizard is again.
  SetForegroundWindow(form);
  Settle(form);
  CheckPage(form, "finish");
  // Without a window manager Wine may leave no window active after the
  // work's last box, and may refuse the first request to activate one.
  WaitUntil([&] {
    if (!GetForegroundWindow()) SetForegroundWindow(form);
    return Focus(form) == cancel;
  }, 5000);
  HWND active = GetForegroundWindow();
  Check(FocusVisible(form) && Focus(form) == cancel,
        "finish: focus on the one button left, " + Describe(Focus(form)) + " (active window: " +
            Narrow(ClassOf(active)) + (active == form ? ", the wizard)" : ")"));
  SetForegroundWindow(form);
  Key(form, VK_RETURN);
  Check(WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0, "finish: Enter closes the wizard");
  TerminateProcess(pi.hProcess, 0);
  return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: access_driver SETUP.EXE [SHOTS-DIR]\n");
    return 2;
  }
  CoInitialize(nullptr);
  int failed = Run(argv[1], argc >= 3 ? Narrow(argv[2]) : std::string());
  CoUninitialize();
  return failed;
}
