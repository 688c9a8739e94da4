// Acts as a person at the wizard, from outside its process: starts a setup,
// finds its window, reads what its controls show, clicks through the pages
// with window messages and takes a screenshot of every page (BMP).
//
//   gui_driver install   SETUP.EXE SHOTS-DIR TARGET-DIR CDROM-DIR EXPECT-DIR
//   gui_driver uninstall UNINSTALLER.EXE SHOTS-DIR
//   gui_driver glance    SETUP.EXE    the debug window and the first two
//                                     pages, then the setup is ended
//   gui_driver load      DLL...       loads each DLL by its bare name
//   gui_driver held      SETUP.EXE ARGS HELD-PATH   Next until the files-in-use
//                                     box, Continue, the finish page
//
// EXPECT-DIR holds what the script around the driver read from the setup
// with other tools: debug.txt, the debug window's listing ("*" at the end of
// a line: any text), boxes.txt, one "caption<TAB>text" per message box the
// script may show ("*" in a text: any text), and tree.txt, the folder that
// the folder-tree check opens and picks ("C:\Atlas Library\Maps 2026"),
// and archive-shots.txt, one "part of a box's text<TAB>shot<TAB>archive" per
// box that holds the work while a product archive is updated: the progress
// page is taken then, and its status line must name the archive.
//
// Prints one line per check ("ok ..." / "FAIL ...") and exits with the
// number of failed checks (100 + n when the run could not go on).
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// Waits for a condition the wizard reaches after posted input; false when
// it does not within `ms`.
bool WaitUntil(const std::function<bool()>& done, int ms = 15000) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
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
  // As shown: the access key's "&" is not.
  std::wstring text = TextOf(b), shown;
  for (size_t i = 0; i < text.size(); ++i) shown += text[i] == L'&' && i + 1 < text.size() ? text[++i] : text[i];
  s.text = Narrow(shown);
  return s;
}

// The window's pixels as on screen, saved as a 24-bit BMP; returns the
// pixels (0xRRGGBB, row-major) for checks.
// With `client` only the client area: without a window manager the frame
// and caption are never drawn. Without `redraw` nothing is asked of the
// window's thread (it may be busy or held).
std::vector<uint32_t> Capture(HWND w, const std::string& path, int& width, int& height, bool client = true,
                              bool redraw = true) {
  if (redraw) {
    SetForegroundWindow(w);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
  }
  RECT r;
  GetWindowRect(w, &r);
  if (client) {
    RECT c;
    GetClientRect(w, &c);
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    r = {origin.x, origin.y, origin.x + c.right, origin.y + c.bottom};
  }
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

void Shot(HWND w, const std::string& dir, const std::string& name, bool client = true) {
  int wd = 0, ht = 0;
  Capture(w, dir + "\\" + name + ".bmp", wd, ht, client);
  std::printf("shot %s (%dx%d)\n", name.c_str(), wd, ht);
}

Process Start(const std::wstring& exe, const std::wstring& args) {
  Process p;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
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

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\n') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// `pattern` with "*" standing for any text (also none); case counts.
bool Matches(const std::string& pattern, const std::string& text) {
  size_t star = pattern.find('*');
  if (star == std::string::npos) return pattern == text;
  if (text.compare(0, star, pattern, 0, star) != 0) return false;
  std::string rest = pattern.substr(star + 1);
  for (size_t from = star; from <= text.size(); ++from)
    if (Matches(rest, text.substr(from))) return true;
  return false;
}

// The text the system keeps for a window, read without a message to its
// thread (which may be busy).
std::string StoredText(HWND w) {
  wchar_t text[512] = {};
  InternalGetWindowText(w, text, 511);
  return Narrow(text);
}

// The folder tree of another process, read through a buffer in that
// process, as the tree's item messages carry pointers.
class RemoteTree {
 public:
  RemoteTree(DWORD pid, HWND tree) : tree_(tree) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) remote_ = VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteTree() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool Ok() const { return remote_ != nullptr; }

  HTREEITEM Next(HTREEITEM item, UINT how) const {
    return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  }
  HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
  HTREEITEM Selection() const { return Next(nullptr, TVGN_CARET); }
  HTREEITEM FirstChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
  HTREEITEM Parent(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
  std::vector<HTREEITEM> Children(HTREEITEM item) const {
    std::vector<HTREEITEM> all;
    for (HTREEITEM c = FirstChild(item); c; c = Next(c, TVGN_NEXT)) all.push_back(c);
    return all;
  }

  struct Item {
    std::string text;
    bool hasButton = false;  // the tree shows it as openable
  };
  Item Get(HTREEITEM item) const {
    Item result;
    if (!remote_ || !item) return result;
    auto* base = static_cast<char*>(remote_);
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = reinterpret_cast<wchar_t*>(base + 512);
    tv.cchTextMax = 256;
    if (!WriteProcessMemory(process_, remote_, &tv, sizeof(tv), nullptr)) return result;
    if (!Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote_))) return result;
    wchar_t text[256] = {};
    ReadProcessMemory(process_, remote_, &tv, sizeof(tv), nullptr);
    ReadProcessMemory(process_, base + 512, text, sizeof(text) - sizeof(wchar_t), nullptr);
    result.text = Narrow(text);
    result.hasButton = tv.cChildren != 0;
    return result;
  }
  std::string Text(HTREEITEM item) const { return Get(item).text; }

  // The child whose text contains `part`; none when the item has no such child.
  HTREEITEM ChildWith(HTREEITEM item, const std::string& part) const {
    for (HTREEITEM c : Children(item))
      if (Contains(Text(c), part)) return c;
    return nullptr;
  }

  // Clicks the middle of the item's text, as a person would; `twice` is a
  // double click (which opens or closes the item).
  bool Click(HTREEITEM item, bool twice = false) const {
    Send(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    // The message takes the item in the rectangle's place.
    if (!WriteProcessMemory(process_, remote_, &item, sizeof(item), nullptr)) return false;
    RECT r = {};
    if (!Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote_))) return false;
    ReadProcessMemory(process_, remote_, &r, sizeof(r), nullptr);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(tree_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tree_, WM_LBUTTONUP, 0, at);
    if (twice) {
      PostMessageW(tree_, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
      PostMessageW(tree_, WM_LBUTTONUP, 0, at);
    }
    DWORD_PTR r2 = 0;
    SendMessageTimeoutW(tree_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r2);
    return true;
  }

 private:
  LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(tree_, msg, wp, lp, SMTO_ABORTIFHUNG, 10000, &result)) return 0;
    return static_cast<LRESULT>(result);
  }

  HWND tree_;
  HANDLE process_ = nullptr;
  void* remote_ = nullptr;
};

int ExitCodeOf(const Process& p, int ms) {
  if (WaitForSingleObject(p.pi.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(p.pi.hProcess, &code);
  return static_cast<int>(code);
}

// The debug window behind the Debug button (shown with /DEBUG): its
// listing must be the archive's as the script read it with ferryc.
void CheckDebugWindow(HWND form, DWORD pid, const std::string& shots, const std::vector<std::string>& expected) {
  ButtonState debug = StateOf(form, kDebug);
  Check(debug.visible && debug.enabled && debug.text == "Debug",
        "with /DEBUG the Debug button is shown (\"" + debug.text + "\")");
  Click(ById(form, kDebug));
  HWND window = WaitForTop(pid, L"FerryDebugForm", 10000);
  Check(window != nullptr, "the Debug button opens the debug window");
  if (!window) return;
  Settle(window);
  Check(Narrow(TextOf(window)) == "Debug", "debug window caption \"" + Narrow(TextOf(window)) + "\"");
  Check(!IsWindowEnabled(form), "the wizard waits while the debug window is open");
  HWND rich = nullptr;
  for (HWND c : Children(window))
    if (Contains(Narrow(ClassOf(c)), "RICHEDIT") || Contains(Narrow(ClassOf(c)), "RichEdit")) rich = c;
  std::vector<std::string> lines = SplitLines(rich ? Narrow(TextOf(rich)) : "");
  std::string mismatch;
  for (size_t i = 0; i < std::max(lines.size(), expected.size()) && mismatch.empty(); ++i) {
    std::string got = i < lines.size() ? lines[i] : "(no line)";
    std::string want = i < expected.size() ? expected[i] : "(no line)";
    if (!Matches(want, got)) mismatch = "line " + std::to_string(i + 1) + " reads \"" + got + "\", expected \"" + want + "\"";
  }
  size_t entries = 0;
  for (const std::string& line : lines) entries += Contains(line, "\" Group: ") ? 1 : 0;
  Check(rich && mismatch.empty() && entries > 0,
        "debug listing equals the archive's (" + std::to_string(lines.size()) + " lines, " + std::to_string(entries) +
            " entries)" + (mismatch.empty() ? "" : ": " + mismatch));
  Shot(window, shots, "setup-0-debug");
  PostMessageW(window, WM_CLOSE, 0, 0);
  bool gone = false;
  for (int waited = 0; waited < 10000 && !gone; waited += 50) {
    gone = !IsWindow(window) || !IsWindowVisible(window);
    if (!gone) Sleep(50);
  }
  Settle(form);
  Check(gone && IsWindowEnabled(form), "closing the debug window returns to the wizard");
}

// The folder tree: the shell's namespace from the desktop down, opened on
// demand; picking a folder fills the edit, picking My Computer does not.
// `pick` is a folder the script made ("C:\Atlas Library\Maps 2026").
void CheckFolderTree(HWND form, DWORD pid, HWND edit, HWND treeWindow, const std::string& pick) {
  RemoteTree tree(pid, treeWindow);
  if (!tree.Ok()) {
    Check(false, "the folder tree can be read");
    return;
  }
  HTREEITEM root = tree.Root();
  std::string rootText = tree.Text(root);
  Check(root && !tree.Next(root, TVGN_NEXT) && !rootText.empty(),
        "the folder tree has one root, \"" + rootText + "\" (the desktop)");
  HTREEITEM selected = tree.Selection();
  std::vector<HTREEITEM> chain;
  for (HTREEITEM h = selected; h; h = tree.Parent(h)) chain.insert(chain.begin(), h);
  std::string way;
  for (HTREEITEM h : chain) way += (way.empty() ? "" : " > ") + tree.Text(h);
  Check(chain.size() == 4 && chain[0] == root && Contains(tree.Text(chain[2]), "C:") &&
            tree.Text(chain[3]) == "Program Files",
        "the nearest existing folder of the install folder is selected: " + way);
  if (chain.size() != 4) return;
  HTREEITEM computer = chain[1], drive = chain[2];

  std::string before = Narrow(TextOf(edit));
  tree.Click(computer);
  WaitUntil([&] { return tree.Selection() == computer; });
  Settle(form);
  Check(tree.Selection() == computer && Narrow(TextOf(edit)) == before,
        "picking \"" + tree.Text(computer) + "\", which is no folder, leaves the edit at \"" +
            Narrow(TextOf(edit)) + "\"");

  size_t cut = pick.rfind('\\');
  std::string libraryName = pick.substr(3, cut - 3), leafName = pick.substr(cut + 1);
  HTREEITEM library = nullptr;
  for (HTREEITEM c : tree.Children(drive))
    if (tree.Text(c) == libraryName) library = c;
  Check(library && tree.Get(library).hasButton && !tree.FirstChild(library),
        "\"" + libraryName + "\" under " + tree.Text(drive) + " can be opened; its folders are not read yet");
  if (!library) return;
  tree.Click(library);
  WaitUntil([&] { return Narrow(TextOf(edit)) == pick.substr(0, cut + 1); });
  Check(Narrow(TextOf(edit)) == pick.substr(0, cut + 1),
        "picking it puts its path in the edit: \"" + Narrow(TextOf(edit)) + "\"");
  HTREEITEM leaf = nullptr;
  for (HTREEITEM c : tree.Children(library))
    if (tree.Text(c) == leafName) leaf = c;
  Check(leaf != nullptr, "the picked folder opens: \"" + leafName + "\" is read and shown");
  if (!leaf) return;
  tree.Click(leaf);
  WaitUntil([&] { return Narrow(TextOf(edit)) == pick + "\\"; });
  Check(Narrow(TextOf(edit)) == pick + "\\" && tree.Selection() == leaf,
        "picking \"" + leafName + "\" puts \"" + Narrow(TextOf(edit)) + "\" in the edit");
  Check(StateOf(form, kNext).enabled, "a folder picked on drive C: leaves Next enabled");
}

struct ExpectedBox {
  std::string caption, text;
};

std::vector<ExpectedBox> ReadBoxes(const std::string& path) {
  std::vector<ExpectedBox> boxes;
  for (const std::string& line : ReadLines(path)) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos) boxes.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return boxes;
}

// The progress page, looked at while a message box of the script holds the
// work: the gauge partly filled in the layout's colour.
void CheckProgressPage(HWND form, HWND box, const std::string& shots) {
  Check(Visible(form, "patching_progressbar") && Visible(form, "patching_statuslabel"),
        "progress page shows gauge and status while the work runs");
  Check(!StateOf(form, kBack).visible && !StateOf(form, kNext).enabled && !StateOf(form, kLanguage).visible,
        "work page: Back and language hidden, Next disabled");
  std::string status = Narrow(TextOf(ByName(form, "patching_statuslabel")));
  Check(!status.empty(), "status line reads \"" + status + "\"");
  // The box goes to the screen's corner, off the wizard, before the shot.
  SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  HWND gauge = ByName(form, "patching_progressbar");
  RECT gr;
  GetWindowRect(gauge, &gr);
  POINT origin = {0, 0};
  ClientToScreen(form, &origin);
  int w = 0, h = 0;
  std::vector<uint32_t> px = Capture(form, shots + "\\setup-5-progress.bmp", w, h);
  std::printf("shot setup-5-progress (%dx%d)\n", w, h);
  int gx = gr.left - origin.x + 4, gy = (gr.top + gr.bottom) / 2 - origin.y;
  int ex = gr.right - origin.x - 4;
  auto at = [&](int x, int y) { return (x >= 0 && y >= 0 && x < w && y < h) ? px[static_cast<size_t>(y) * w + x] : 0u; };
  char buf[64];
  std::snprintf(buf, sizeof buf, "%06X, right end %06X", at(gx, gy), at(ex, gy));
  // ForeColour=$A0701C: blue A0, green 70, red 1C.
  Check(at(gx, gy) == 0x1C70A0 && at(ex, gy) != 0x1C70A0,
        std::string("gauge partly filled in the layout's solid colour 1C70A0: ") + buf);
}

struct ArchiveShot {
  std::string boxText, shot, archive;
  bool taken = false;
};

std::vector<ArchiveShot> ReadArchiveShots(const std::string& path) {
  std::vector<ArchiveShot> all;
  for (const std::string& line : ReadLines(path)) {
    size_t t1 = line.find('\t'), t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 != std::string::npos) all.push_back({line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1)});
  }
  return all;
}

// The progress page while a box holds the work in the middle of a product
// archive's update: the status line names the archive.
void ShootArchiveUpdate(HWND form, HWND box, const std::string& shots, ArchiveShot& a) {
  std::string status = Narrow(TextOf(ByName(form, "patching_statuslabel")));
  Check(Contains(status, a.archive) && Visible(form, "patching_progressbar"),
        "while " + a.archive + " is updated the status line reads \"" + status + "\"");
  SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Shot(form, shots, a.shot);
  a.taken = true;
}

// From the ready page's Next to the finish page: every message box of the
// script is checked and answered OK, the first one holds the progress page
// for its look, and those of `archives` for a look at the archive updates.
void RunInstallWork(HWND form, DWORD pid, const std::string& shots, const std::vector<ExpectedBox>& expected,
                    std::vector<ArchiveShot> archives) {
  Click(ById(form, kNext));
  int boxes = 0;
  HWND finish = nullptr;
  for (int waited = 0; waited < 120000 && !finish; waited += 100) {
    if (HWND box = WaitForBox(pid, 100)) {
      Settle(box);
      std::string caption = Narrow(TextOf(box)), text = BoxText(box);
      bool known = false;
      for (const ExpectedBox& e : expected) known = known || (Matches(e.caption, caption) && Matches(e.text, text));
      bool question = GetDlgItem(box, IDOK) && GetDlgItem(box, IDCANCEL);
      Check(known && question, "message box of the script, OK and Cancel: \"" + caption + "\": \"" + text + "\"");
      if (boxes++ == 0) CheckProgressPage(form, box, shots);
      for (ArchiveShot& a : archives)
        if (!a.taken && Contains(text, a.boxText)) ShootArchiveUpdate(form, box, shots, a);
      ClickBoxButton(box, IDOK);
      for (int w = 0; w < 10000 && IsWindow(box) && IsWindowVisible(box); w += 50) Sleep(50);
      continue;
    }
    HWND f = ByName(form, "finishtext");
    if (f && IsWindowVisible(f)) finish = f;
  }
  Check(boxes >= 1, "the script's message boxes appeared and were answered OK: " + std::to_string(boxes));
  Check(finish != nullptr, "the install ends on the finish page");
  for (const ArchiveShot& a : archives) Check(a.taken, "the work was held while " + a.archive + " was updated");
}

int Install(const std::wstring& setup, const std::string& shots, const std::string& target,
            const std::string& cdrom, const std::string& expectDir) {
  Process p = Start(setup, L"/DEBUG");
  HWND form = Wizard(p);
  DWORD pid = p.pi.dwProcessId;

  // Welcome.
  Check(Contains(Narrow(TextOf(form)), "Tidewater"), "window title names the setup: \"" + Narrow(TextOf(form)) + "\"");
  ButtonState back = StateOf(form, kBack), next = StateOf(form, kNext), cancel = StateOf(form, kCancel),
              language = StateOf(form, kLanguage);
  Check(!back.visible, "welcome: Back hidden");
  Check(next.visible && next.enabled, "welcome: Next shown and enabled (\"" + next.text + "\")");
  Check(cancel.visible && cancel.enabled, "welcome: Cancel shown (\"" + cancel.text + "\")");
  Check(language.visible && language.text == "English", "welcome: language button reads English");
  Check(Visible(form, "WelcomeTitle") && Visible(form, "MainFooterText"), "welcome: title and footer shown");
  std::string welcomeTitle = Narrow(TextOf(ByName(form, "WelcomeTitle")));
  const std::vector<std::string> debugListing = ReadLines(expectDir + "\\debug.txt");
  if (debugListing.empty()) Abort("no expected debug listing in " + expectDir);
  CheckDebugWindow(form, pid, shots, debugListing);
  // The shots show the wizard as a normal run does, without the aid.
  ShowWindow(ById(form, kDebug), SW_HIDE);
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
  if (!edit || !tree) Abort("no install-directory edit or tree");
  std::string dflt = Narrow(TextOf(edit));
  Check(Contains(dflt, "Tidewater Atlas") && dflt.size() > 3 && dflt[1] == ':',
        "edit holds the default install directory \"" + dflt + "\"");
  Shot(form, shots, "setup-3-installdir");
  std::vector<std::string> treePick = ReadLines(expectDir + "\\tree.txt");
  if (treePick.empty() || treePick[0].size() < 4) Abort("no folder for the tree to pick in " + expectDir);
  CheckFolderTree(form, pid, edit, tree, treePick[0]);
  Shot(form, shots, "setup-3-installdir-tree");
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(cdrom).c_str()), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  WaitUntil([&] { return !IsWindowEnabled(ById(form, kNext)); }, 5000);
  Check(!StateOf(form, kNext).enabled, "a path on the CD-ROM drive (" + cdrom + ") disables Next");
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(target).c_str()), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  WaitUntil([&] { return IsWindowEnabled(ById(form, kNext)) != FALSE; }, 5000);
  Check(StateOf(form, kNext).enabled, "a path on drive C: enables Next again");
  {
    RemoteTree t(pid, tree);
    std::string selected = t.Text(t.Selection());
    // The product being patched may be there already; else a folder above it.
    std::string nearest = target;
    while (nearest.size() > 3 && GetFileAttributesW(Wide(nearest).c_str()) == INVALID_FILE_ATTRIBUTES)
      nearest.erase(nearest.find_last_of('\\') == 2 ? 3 : nearest.find_last_of('\\'));
    std::string item = nearest.size() <= 3 ? nearest.substr(0, 2) : nearest.substr(nearest.find_last_of('\\') + 1);
    Check(Contains(selected, item),
          "the tree follows the typed path to its nearest existing folder " + nearest + ": \"" + selected + "\"");
  }
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
    Shot(box, shots, "setup-4-cancel-question", false);
    ClickBoxButton(box, IDNO);
    Settle(form);
  }
  Check(IsWindow(form) && IsWindowVisible(form) && Visible(form, "spaceavalible"),
        "after No the wizard stays on the ready page");

  std::vector<ArchiveShot> archiveShots = ReadArchiveShots(expectDir + "\\archive-shots.txt");
  if (archiveShots.empty()) Abort("no archive shots listed in " + expectDir);
  RunInstallWork(form, pid, shots, ReadBoxes(expectDir + "\\boxes.txt"), archiveShots);
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

// "Processing : 12 of 340 files" -> 12 and 340; false without "N of M".
bool ProgressCounts(const std::string& status, long& done, long& total) {
  size_t of = status.rfind(" of ");
  if (of == std::string::npos) return false;
  size_t start = status.find_last_not_of("0123456789", of - 1);
  start = start == std::string::npos ? 0 : start + 1;
  if (start >= of) return false;
  done = std::strtol(status.c_str() + start, nullptr, 10);
  char* end = nullptr;
  total = std::strtol(status.c_str() + of + 4, &end, 10);
  return end != status.c_str() + of + 4 && total > 0;
}

// The uninstall works on the main thread without answering messages, so its
// page is looked at from outside: once the status shows the work between a
// tenth and 95 % done, the wizard's thread is held for the shot (its page is
// painted at once as the work goes) and let go again.
void ShootUninstallProgress(HWND form, const std::string& shots) {
  HWND status = ByName(form, "patching_statuslabel");
  HWND gauge = ByName(form, "patching_progressbar");
  HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(form, nullptr));
  Check(status && gauge && thread, "the uninstall page has status and gauge, and its thread can be held");
  if (!status || !gauge || !thread) return;
  bool shot = false, finished = false;
  std::string seen;
  for (int waited = 0; waited < 60000 && !shot && !finished; waited += 2) {
    long done = 0, total = 0;
    std::string text = IsWindowVisible(status) ? StoredText(status) : "";
    if (ProgressCounts(text, done, total) && done * 10 >= total && done * 20 <= total * 19) {
      SuspendThread(thread);
      seen = StoredText(status);
      int w = 0, h = 0;
      std::vector<uint32_t> px = Capture(form, shots + "\\uninstall-2-progress.bmp", w, h, true, false);
      ResumeThread(thread);
      std::printf("shot uninstall-2-progress (%dx%d)\n", w, h);
      RECT gr;
      GetWindowRect(gauge, &gr);
      POINT origin = {0, 0};
      ClientToScreen(form, &origin);
      int gx = gr.left - origin.x + 4, ex = gr.right - origin.x - 4, gy = (gr.top + gr.bottom) / 2 - origin.y;
      auto at = [&](int x, int y) {
        return (x >= 0 && y >= 0 && x < w && y < h) ? px[static_cast<size_t>(y) * w + x] : 0u;
      };
      char buf[64];
      std::snprintf(buf, sizeof buf, "%06X, right end %06X", at(gx, gy), at(ex, gy));
      // ForeColour=$3030C0: blue 30, green 30, red C0.
      Check(at(gx, gy) == 0xC03030 && at(ex, gy) != 0xC03030,
            std::string("uninstall gauge partly filled in the layout's colour C03030: ") + buf);
      shot = true;
      break;
    }
    // Window states only: a message would wait for the busy thread.
    finished = !IsWindowVisible(ById(form, kNext)) && !IsWindowVisible(status);
    Sleep(2);
  }
  CloseHandle(thread);
  Check(shot, "the uninstall progress page was seen while the work ran: \"" + seen + "\"");
}

int Uninstall(const std::wstring& uninstaller, const std::string& shots) {
  Process p = Start(uninstaller, L"");
  HWND form = Wizard(p);
  Check(!StateOf(form, kBack).visible, "uninstall welcome: Back hidden");
  Check(!StateOf(form, kDebug).visible, "without /DEBUG the Debug button stays hidden");
  Check(Contains(Narrow(TextOf(form)), "Tidewater"), "uninstaller title \"" + Narrow(TextOf(form)) + "\"");
  Shot(form, shots, "uninstall-1-welcome");
  Click(ById(form, kNext));
  ShootUninstallProgress(form, shots);
  // The uninstall moves on by itself when its work is done.
  HWND box = nullptr;
  for (int waited = 0; waited < 60000; waited += 100) {
    if (StateOf(form, kCancel).visible && !StateOf(form, kNext).visible) break;
    box = WaitForBox(p.pi.dwProcessId, 1);
    if (box) break;
    Sleep(100);
  }
  if (box) {
    Check(false, "unexpected message box: \"" + BoxText(box) + "\"");
    Shot(box, shots, "uninstall-error", false);
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

// Just what loads DLLs of its own (the pictures, the debug window's and the
// change log's rich edits), for runs that look only at what gets loaded.
int Glance(const std::wstring& setup) {
  Process p = Start(setup, L"/DEBUG");
  HWND form = Wizard(p);
  Click(ById(form, kDebug));
  HWND window = WaitForTop(p.pi.dwProcessId, L"FerryDebugForm", 10000);
  Check(window != nullptr, "the Debug button opens the debug window");
  if (window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000);
  }
  Settle(form);
  Click(ById(form, kNext));
  Settle(form);
  HWND rich = WaitForPageControl(form, "ChangelogView", 5000);
  Check(rich && Contains(Narrow(TextOf(rich)), "1.2"), "change log page shows the change log in its rich edit");
  TerminateProcess(p.pi.hProcess, 0);
  return failures;
}

// A "scope either" setup's Scope page: "only for me" picked first, a click
// picks the other one, and the folder page shows each choice's folder.
// Wine runs the wizard elevated, so everyone needs no elevated copy here.
int Scope(const std::wstring& setup, const std::string& userFolder, const std::string& machineFolder) {
  Process p = Start(setup, L"");
  HWND form = Wizard(p);
  auto checked = [&](const char* name) {
    HWND w = ByName(form, name);
    return w && SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  auto folderFor = [&](const char* choice) {
    if (!Visible(form, choice)) {
      Click(ById(form, kBack));
      Settle(form);
    }
    Click(ByName(form, choice));
    Settle(form);
    Check(checked(choice), std::string(choice) + " is picked after its click");
    Click(ById(form, kNext));
    Settle(form);
    HWND edit = WaitForPageControl(form, "installdir_edit", 5000);
    return edit ? Narrow(TextOf(edit)) : std::string("(no folder page)");
  };
  Click(ById(form, kNext));
  Settle(form);
  Check(WaitForPageControl(form, "scope_user", 5000) != nullptr, "the page after the welcome is the Scope page");
  Check(checked("scope_user") && !checked("scope_machine"), "only for me is picked first");
  const std::string machine = folderFor("scope_machine");
  Check(Matches(machineFolder, machine), "everyone: the folder page shows " + machine);
  const std::string user = folderFor("scope_user");
  Check(Matches(userFolder, user), "only for me: the folder page shows " + user);
  TerminateProcess(p.pi.hProcess, 0);
  return failures;
}

// Next until the files-in-use box shows; it must name `held` and offer
// Continue, which is clicked. The run then ends on the finish page with the
// restart text, and closing it gives the setup's exit code (3010 expected),
// printed as "exit N".
int HeldBox(const std::wstring& setup, const std::wstring& args, const std::string& held) {
  Process p = Start(setup, args);
  HWND form = Wizard(p);
  HWND box = nullptr;
  for (int page = 0; page < 10 && !box; ++page) {
    Click(ById(form, kNext));
    Settle(form);
    box = WaitForBox(p.pi.dwProcessId, 2000);
  }
  if (!box) Abort("no files-in-use box after ten clicks of Next");
  Check(BoxText(box).find(held) != std::string::npos, "the box names " + held + ": " + BoxText(box));
  Check(GetDlgItem(box, IDCONTINUE) && GetDlgItem(box, IDTRYAGAIN) && GetDlgItem(box, IDCANCEL),
        "the box offers Cancel, Try Again and Continue");
  ClickBoxButton(box, IDCONTINUE);
  HWND finish = nullptr;
  WaitUntil([&] {
    HWND f = ByName(form, "finishtext");
    if (f && IsWindowVisible(f)) finish = f;
    return finish != nullptr;
  }, 60000);
  if (!finish) Abort("no finish page after Continue");
  Check(Matches("*Restart the computer*", StoredText(finish)), "the finish page asks for a restart: " + StoredText(finish));
  Click(ById(form, kCancel));
  std::printf("exit %d\n", ExitCodeOf(p, 30000));
  return failures;
}

// The control for Glance: a program that does load DLLs from its own folder.
int Load(int count, wchar_t** names) {
  for (int i = 0; i < count; ++i) {
    HMODULE m = LoadLibraryW(names[i]);
    std::printf("loaded %s: %s\n", Narrow(names[i]).c_str(), m ? "yes" : "refused");
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 7 && std::wstring(argv[1]) == L"install")
    return Install(argv[2], Narrow(argv[3]), Narrow(argv[4]), Narrow(argv[5]), Narrow(argv[6]));
  if (argc >= 4 && std::wstring(argv[1]) == L"uninstall") return Uninstall(argv[2], Narrow(argv[3]));
  if (argc >= 3 && std::wstring(argv[1]) == L"glance") return Glance(argv[2]);
  if (argc >= 5 && std::wstring(argv[1]) == L"scope") return Scope(argv[2], Narrow(argv[3]), Narrow(argv[4]));
  if (argc >= 3 && std::wstring(argv[1]) == L"load") return Load(argc - 2, argv + 2);
  if (argc >= 5 && std::wstring(argv[1]) == L"held") return HeldBox(argv[2], argv[3], Narrow(argv[4]));
  std::fprintf(stderr,
               "usage: gui_driver install SETUP SHOTS TARGET CDROM-PATH EXPECT-DIR | uninstall UNINSTALLER SHOTS"
               " | glance SETUP | scope SETUP USER-FOLDER MACHINE-FOLDER | load DLL... | held SETUP ARGS HELD-PATH\n");
  return 2;
}
