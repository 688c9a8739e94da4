// Acts as a person at the wizard, from outside its process: starts a setup,
// finds its window, reads what its controls show, clicks through the pages
// with window messages and takes a screenshot of every page (BMP).
//
//   gui_driver install   SETUP.EXE SHOTS-DIR TARGET-DIR CDROM-DIR
//   gui_driver uninstall UNINSTALLER.EXE SHOTS-DIR
//
// Prints one line per check ("ok ..." / "FAIL ...") and exits with the
// number of failed checks (100 + n when the run could not go on).
#include <windows.h>

#include <cstdio>
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

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

[[noreturn]] void Abort(const std::string& why) {
  std::printf("FAIL %s (cannot go on)\n", why.c_str());
  std::fflush(stdout);
  std::exit(100 + failures);
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

std::string NameOf(HWND w) {
  auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(w, L"FerryName")));
  if (!atom) return "";
  wchar_t name[256] = {};
  GlobalGetAtomNameW(atom, name, 255);
  return Narrow(name);
}

struct Process {
  PROCESS_INFORMATION pi = {};
};

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls) {
  struct Ctx {
    DWORD pid;
    const wchar_t* cls;
    std::vector<HWND> found;
  } ctx{pid, cls, {}};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == c->pid && IsWindowVisible(w) && ClassOf(w) == c->cls) c->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

HWND WaitForTop(DWORD pid, const wchar_t* cls, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    std::vector<HWND> found = TopWindows(pid, cls);
    if (!found.empty()) return found.front();
    Sleep(50);
  }
  return nullptr;
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

HWND ById(HWND form, int id) {
  for (HWND w : Children(form))
    if (GetParent(w) == form && GetDlgCtrlID(w) == id) return w;
  return nullptr;
}

HWND ByName(HWND form, const std::string& name) {
  for (HWND w : Children(form))
    if (lstrcmpiW(Wide(NameOf(w)).c_str(), Wide(name).c_str()) == 0) return w;
  return nullptr;
}

// Lets the wizard handle what was posted to it.
void Settle(HWND form) {
  Sleep(150);
  DWORD_PTR r = 0;
  SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r);
  Sleep(100);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

enum Button { kBack = 2, kNext = 3, kCancel = 4, kLanguage = 5, kDebug = 6 };

struct ButtonState {
  bool visible = false, enabled = false;
  std::string text;
};

ButtonState StateOf(HWND form, int id) {
  ButtonState s;
  HWND b = ById(form, id);
  if (!b) return s;
  s.visible = IsWindowVisible(b);
  s.enabled = IsWindowEnabled(b);
  s.text = Narrow(TextOf(b));
  return s;
}

// The window's pixels as on screen, saved as a 24-bit BMP; returns the
// pixels (0xRRGGBB, row-major) for checks.
std::vector<uint32_t> Capture(HWND w, const std::string& path, int& width, int& height) {
  SetForegroundWindow(w);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);
  RECT r;
  GetWindowRect(w, &r);
  width = r.right - r.left;
  height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                               static_cast<const uint32_t*>(bits) + static_cast<size_t>(width) * height);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  DeleteObject(bmp);

  int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  ih.biSize = sizeof(ih);
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = static_cast<DWORD>(stride * height);
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  std::vector<uint8_t> data(ih.biSizeImage);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[static_cast<size_t>(height - 1 - y) * width + x];
      uint8_t* d = &data[static_cast<size_t>(y) * stride + x * 3];
      d[0] = p & 0xFF;
      d[1] = (p >> 8) & 0xFF;
      d[2] = (p >> 16) & 0xFF;
    }
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(&fh, sizeof(fh), 1, f);
    std::fwrite(&ih, sizeof(ih), 1, f);
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  return pixels;
}

void Shot(HWND w, const std::string& dir, const std::string& name) {
  int wd = 0, ht = 0;
  Capture(w, dir + "\\" + name + ".bmp", wd, ht);
  std::printf("shot %s (%dx%d)\n", name.c_str(), wd, ht);
}

Process Start(const std::wstring& exe, const std::wstring& args) {
  Process p;
  STARTUPINFOW si = {sizeof(si)};
  std::wstring cmd = L"\"" + exe + L"\" " + args;
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p.pi))
    Abort("cannot start " + Narrow(exe));
  return p;
}

HWND Wizard(const Process& p) {
  HWND form = WaitForTop(p.pi.dwProcessId, L"FerryWizardForm", 30000);
  if (!form) Abort("no wizard window appeared");
  Settle(form);
  return form;
}

// The page's title label: the first visible bold label text is not known
// from outside, so pages are told apart by a named control.
bool Visible(HWND form, const std::string& name) {
  HWND w = ByName(form, name);
  return w && IsWindowVisible(w);
}

HWND WaitForPageControl(HWND form, const std::string& name, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    HWND w = ByName(form, name);
    if (w && IsWindowVisible(w)) return w;
    Sleep(50);
  }
  return nullptr;
}

// A message box of the process: its text and the box.
HWND WaitForBox(DWORD pid, int ms) { return WaitForTop(pid, L"#32770", ms); }

std::string BoxText(HWND box) {
  std::string all;
  for (HWND w : Children(box))
    if (ClassOf(w) == L"Static") all += Narrow(TextOf(w));
  return all;
}

void ClickBoxButton(HWND box, int id) {
  HWND b = GetDlgItem(box, id);
  if (b) Click(b);
  else PostMessageW(box, WM_COMMAND, id, 0);
}

// Opens the language menu with the button and picks item `index` with the
// keyboard, as a person would.
bool PickLanguage(HWND form, DWORD pid, int index) {
  Click(ById(form, kLanguage));
  HWND menu = nullptr;
  for (int waited = 0; waited < 5000 && !menu; waited += 50) {
    std::vector<HWND> found = TopWindows(pid, L"#32768");
    if (!found.empty()) menu = found.front();
    else Sleep(50);
  }
  if (!menu) return false;
  for (int i = 0; i <= index; ++i) {
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    Sleep(50);
  }
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  Settle(form);
  return true;
}

bool Contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

int ExitCodeOf(const Process& p, int ms) {
  if (WaitForSingleObject(p.pi.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(p.pi.hProcess, &code);
  return static_cast<int>(code);
}

int Install(const std::wstring& setup, const std::string& shots, const std::string& target,
            const std::string& cdrom) {
  Process p = Start(setup, L"");
  HWND form = Wizard(p);
  DWORD pid = p.pi.dwProcessId;

  // Welcome.
  Check(Contains(Narrow(TextOf(form)), "Tidewater"), "window title names the setup: \"" + Narrow(TextOf(form)) + "\"");
  ButtonState back = StateOf(form, kBack), next = StateOf(form, kNext), cancel = StateOf(form, kCancel),
              language = StateOf(form, kLanguage), debug = StateOf(form, kDebug);
  Check(!back.visible, "welcome: Back hidden");
  Check(next.visible && next.enabled, "welcome: Next shown and enabled (\"" + next.text + "\")");
  Check(cancel.visible && cancel.enabled, "welcome: Cancel shown (\"" + cancel.text + "\")");
  Check(language.visible && language.text == "English", "welcome: language button reads English");
  Check(!debug.visible, "the Debug button is hidden");
  Check(Visible(form, "WelcomeTitle") && Visible(form, "MainFooterText"), "welcome: title and footer shown");
  std::string welcomeTitle = Narrow(TextOf(ByName(form, "WelcomeTitle")));
  Shot(form, shots, "setup-1-welcome");

  // Language switch and back.
  Check(PickLanguage(form, pid, 1), "language menu opened and an item picked");
  ButtonState next2 = StateOf(form, kNext), cancel2 = StateOf(form, kCancel), language2 = StateOf(form, kLanguage);
  std::string title2 = Narrow(TextOf(ByName(form, "WelcomeTitle")));
  Check(language2.text == "Deutsch", "language button reads Deutsch (\"" + language2.text + "\")");
  Check(next2.text != next.text && cancel2.text != cancel.text,
        "buttons re-captioned: \"" + next2.text + "\", \"" + cancel2.text + "\"");
  Check(title2 != welcomeTitle && !title2.empty(), "welcome title re-captioned: \"" + title2 + "\"");
  Check(Narrow(TextOf(ByName(form, "MainFooterText"))) != "", "footer text still set");
  Check(!StateOf(form, kBack).visible, "after the switch Back stays hidden on the first page");
  Shot(form, shots, "setup-1-welcome-deutsch");
  Check(PickLanguage(form, pid, 0), "language menu: back to English");
  Check(StateOf(form, kNext).text == next.text && Narrow(TextOf(ByName(form, "WelcomeTitle"))) == welcomeTitle,
        "English captions restored");

  // Change log.
  Click(ById(form, kNext));
  Settle(form);
  HWND rich = WaitForPageControl(form, "ChangelogView", 5000);
  Check(rich != nullptr, "change log page shows its rich edit");
  std::string log = rich ? Narrow(TextOf(rich)) : "";
  Check(Contains(log, "1.2") && !Contains(log, "\\rtf"), "rich edit shows the change log's text, not RTF source");
  Check(StateOf(form, kBack).visible, "change log: Back shown");
  Shot(form, shots, "setup-2-changelog");

  // Install directory.
  Click(ById(form, kNext));
  Settle(form);
  HWND edit = WaitForPageControl(form, "installdir_edit", 5000);
  HWND tree = ByName(form, "installdir_shelltreeview");
  Check(edit && tree && IsWindowVisible(tree), "install-directory page shows edit and folder tree");
  if (!edit) Abort("no install-directory edit");
  std::string dflt = Narrow(TextOf(edit));
  Check(Contains(dflt, "Tidewater Atlas") && dflt.size() > 3 && dflt[1] == ':',
        "edit holds the default install directory \"" + dflt + "\"");
  Shot(form, shots, "setup-3-installdir");
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(cdrom).c_str()), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  Settle(form);
  Check(!StateOf(form, kNext).enabled, "a path on the CD-ROM drive (" + cdrom + ") disables Next");
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(target).c_str()), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  Settle(form);
  Check(StateOf(form, kNext).enabled, "a path on drive C: enables Next again");
  Shot(form, shots, "setup-3-installdir-chosen");

  // Ready page.
  Click(ById(form, kNext));
  Settle(form);
  HWND space = WaitForPageControl(form, "spaceavalible", 5000);
  Check(space != nullptr, "ready page shows the space-available label");
  std::string spaceText = space ? Narrow(TextOf(space)) : "";
  Check(!spaceText.empty() && spaceText.find_first_of("0123456789") != std::string::npos,
        "space available reads \"" + spaceText + "\"");
  ButtonState readyNext = StateOf(form, kNext);
  Check(readyNext.text != next.text && readyNext.visible && readyNext.enabled,
        "ready page: Next reads its own text \"" + readyNext.text + "\"");
  Shot(form, shots, "setup-4-ready");

  // Cancel asks; No keeps the wizard.
  Click(ById(form, kCancel));
  HWND box = WaitForBox(pid, 5000);
  Check(box != nullptr, "Cancel asks before closing");
  if (box) {
    Check(!BoxText(box).empty() && !Narrow(TextOf(box)).empty(),
          "the question reads \"" + BoxText(box) + "\" titled \"" + Narrow(TextOf(box)) + "\"");
    Shot(box, shots, "setup-4-cancel-question");
    ClickBoxButton(box, IDNO);
    Settle(form);
  }
  Check(IsWindow(form) && IsWindowVisible(form) && Visible(form, "spaceavalible"),
        "after No the wizard stays on the ready page");

  // The install: the progress page shows while the setup asks its question.
  Click(ById(form, kNext));
  HWND pause = WaitForBox(pid, 60000);
  Check(pause != nullptr, "the setup's message box appears during the install");
  if (pause) {
    Check(Visible(form, "patching_progressbar") && Visible(form, "patching_statuslabel"),
          "progress page shows gauge and status while the work runs");
    Check(!StateOf(form, kBack).visible && !StateOf(form, kNext).enabled && !StateOf(form, kLanguage).visible,
          "work page: Back and language hidden, Next disabled");
    std::string status = Narrow(TextOf(ByName(form, "patching_statuslabel")));
    Check(!status.empty(), "status line reads \"" + status + "\"");
    // Move the box off the gauge before looking at it.
    SetWindowPos(pause, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND gauge = ByName(form, "patching_progressbar");
    RECT gr, fr;
    GetWindowRect(gauge, &gr);
    GetWindowRect(form, &fr);
    int w = 0, h = 0;
    std::vector<uint32_t> px = Capture(form, shots + "\\setup-5-progress.bmp", w, h);
    std::printf("shot setup-5-progress (%dx%d)\n", w, h);
    int gx = gr.left - fr.left + 4, gy = (gr.top + gr.bottom) / 2 - fr.top;
    uint32_t pixel = (gx >= 0 && gy >= 0 && gx < w && gy < h) ? px[static_cast<size_t>(gy) * w + gx] : 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%06X", pixel);
    // ForeColour=$A0701C: blue A0, green 70, red 1C.
    Check(pixel == 0x1C70A0, std::string("gauge fill pixel is the layout's solid colour 1C70A0: ") + buf);
    ClickBoxButton(pause, IDOK);
  }
  HWND finish = WaitForPageControl(form, "finishtext", 120000);
  Check(finish != nullptr, "the install ends on the finish page");
  ButtonState fb = StateOf(form, kBack), fn = StateOf(form, kNext), fc = StateOf(form, kCancel);
  Check(!fb.visible && !fn.visible && fc.visible && fc.enabled && fc.text != cancel.text,
        "finish page: only Cancel, reading \"" + fc.text + "\"");
  Check(!StateOf(form, kLanguage).visible, "finish page: language button stays hidden");
  Shot(form, shots, "setup-6-finish");
  Click(ById(form, kCancel));
  int code = ExitCodeOf(p, 30000);
  Check(code == 0, "the setup closes from the finish page without asking, exit code " + std::to_string(code));
  return failures;
}

int Uninstall(const std::wstring& uninstaller, const std::string& shots) {
  Process p = Start(uninstaller, L"");
  HWND form = Wizard(p);
  Check(!StateOf(form, kBack).visible, "uninstall welcome: Back hidden");
  Check(Contains(Narrow(TextOf(form)), "Tidewater"), "uninstaller title \"" + Narrow(TextOf(form)) + "\"");
  Shot(form, shots, "uninstall-1-welcome");
  Click(ById(form, kNext));
  // The uninstall runs on arrival and moves on by itself.
  HWND box = nullptr;
  for (int waited = 0; waited < 60000; waited += 100) {
    if (StateOf(form, kCancel).visible && !StateOf(form, kNext).visible) break;
    box = WaitForBox(p.pi.dwProcessId, 1);
    if (box) break;
    Sleep(100);
  }
  if (box) {
    Check(false, "unexpected message box: \"" + BoxText(box) + "\"");
    Shot(box, shots, "uninstall-error");
    ClickBoxButton(box, IDOK);
    ExitCodeOf(p, 10000);
    return failures;
  }
  ButtonState fc = StateOf(form, kCancel);
  Check(fc.visible && !StateOf(form, kNext).visible && !StateOf(form, kBack).visible,
        "uninstall finish page: only Cancel (\"" + fc.text + "\")");
  Shot(form, shots, "uninstall-3-finish");
  Click(ById(form, kCancel));
  int code = ExitCodeOf(p, 30000);
  Check(code == 0, "the uninstaller closes, exit code " + std::to_string(code));
  return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 6 && std::wstring(argv[1]) == L"install")
    return Install(argv[2], Narrow(argv[3]), Narrow(argv[4]), Narrow(argv[5]));
  if (argc >= 4 && std::wstring(argv[1]) == L"uninstall") return Uninstall(argv[2], Narrow(argv[3]));
  std::fprintf(stderr, "usage: gui_driver install SETUP SHOTS TARGET CDROM-PATH | uninstall UNINSTALLER SHOTS\n");
  return 2;
}
