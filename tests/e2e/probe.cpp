// Reads, from outside, what only Windows can tell exactly about a running Folirex: the main
// window's caption, the status bar's panel texts, message boxes and dialogs, the clipboard's
// CF_TEXT bytes. The end-to-end scripts run it under Wine in the program's prefix.
// It also plays the other program that holds the clipboard open.
//
//   probe wait-window MS          the main window is shown (exit 1 when it never is)
//   probe gone MS                 the main window has disappeared
//   probe caption                 the main window's caption
//   probe wait-caption TEXT MS    waits until the caption reads TEXT; prints the last one read
//   probe panel N                 the text of status bar panel N
//   probe wait-panel N TEXT MS    waits until panel N reads TEXT; prints the last text read
//   probe geometry                "window X Y W H" and "view X Y W H" (the page view's client
//                                 area), in screen pixels
//   probe wait-box TITLE MS [TEXT]
//                                 waits for a dialog box of the program captioned TITLE (any
//                                 title when TITLE is "*"), and with TEXT one whose static
//                                 texts include TEXT; prints its caption, then the texts of its
//                                 static controls, one a line
//   probe no-box                  exit 1 when the program shows a dialog box
//   probe press-ok TITLE          presses OK in the program's dialog box captioned TITLE
//   probe press-cancel TITLE      presses Cancel in the program's dialog box captioned TITLE
//   probe print-pages FROM TO     in the program's Print dialog: the page range FROM to TO, OK
//   probe clipboard FILE          writes the clipboard's CF_TEXT block to FILE
//   probe clipboard-unicode FILE  writes the clipboard's CF_UNICODETEXT, up to its terminating
//                                 zero, to FILE (UTF-16LE)
//   probe clipboard-bitmap        prints "WIDTHxHEIGHT" of the clipboard's bitmap (CF_BITMAP)
//   probe hold-clipboard READY RELEASE MS
//                                 opens the clipboard, creates the file READY (a Windows path)
//                                 once it holds it, and keeps it until the file RELEASE exists
//                                 (at most MS milliseconds)
//   probe settle                  returns once the program has taken the input already sent to
//                                 it and painted what that changed
//   probe wait-focus WHERE MS     waits until the keyboard focus is in the page view (WHERE
//                                 "view"), the main window ("main") or the program's window
//                                 captioned WHERE
//   probe wait-no-box MS          waits until the program shows no dialog box
//   probe wait-shown TITLE MS     waits until the program shows a window captioned TITLE
//   probe wait-hidden TITLE MS    waits until it shows none
//   probe wait-menu MS            waits until the program shows a drop-down or context menu
//   probe wait-clipboard FORMAT EXPECTED MS
//                                 waits until the clipboard's text (FORMAT "text": the CF_TEXT
//                                 block; "unicode": CF_UNICODETEXT up to its zero, UTF-16LE)
//                                 has the bytes of the file EXPECTED; prints what it last read
//   probe wait-taskbar MS KEY=VALUE...  waits until the task-bar report below has every pair
//                                 given; prints the report, one "key=value" a line
//   probe button ACTION           acts on the task-bar button's window as the shell does:
//                                 minimise or restore (a click on the button), switch (Alt+Tab)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kMainClass[] = "TForm1";

HWND mainWindow() {
  HWND window = FindWindowA(kMainClass, nullptr);
  return window && IsWindowVisible(window) ? window : nullptr;
}

std::string windowText(HWND window) {
  char text[4096] = "";
  // WM_GETTEXT crosses processes with its buffer; GetWindowText would not ask the window.
  SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
  return text;
}

std::string className(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof(name));
  return name;
}

// Polls `done` every 50 ms until it holds or `ms` milliseconds have passed.
template <class Done>
bool waitFor(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(50);
  }
}

struct ClassSearch {
  const char* wanted;
  HWND found;
};

BOOL CALLBACK matchClass(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ClassSearch*>(data);
  if (className(child) != search->wanted) return TRUE;
  search->found = child;
  return FALSE;
}

HWND findDescendant(HWND parent, const char* wantedClass) {
  ClassSearch search{wantedClass, nullptr};
  EnumChildWindows(parent, matchClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK matchScrolling(HWND child, LPARAM data) {
  LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
  if ((style & (WS_HSCROLL | WS_VSCROLL)) != (WS_HSCROLL | WS_VSCROLL)) return TRUE;
  *reinterpret_cast<HWND*>(data) = child;
  return FALSE;
}

// The page view: the descendant of the main window that carries both scroll bars.
HWND pageView(HWND main) {
  HWND found = nullptr;
  EnumChildWindows(main, matchScrolling, reinterpret_cast<LPARAM>(&found));
  return found;
}

// A status bar panel's text: SB_GETTEXT writes into the caller's memory, so the buffer
// is allocated inside the program's process and read back from there.
bool panelText(int panel, std::string* text) {
  HWND main = mainWindow();
  HWND bar = main ? findDescendant(main, STATUSCLASSNAMEA) : nullptr;
  if (!bar) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(bar, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return false;
  bool ok = false;
  const SIZE_T size = 4096;
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  if (remote) {
    LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, panel, 0);
    if (LOWORD(length) < size) {
      SendMessageA(bar, SB_GETTEXTA, panel, reinterpret_cast<LPARAM>(remote));
      std::vector<char> local(size, 0);
      SIZE_T read = 0;
      if (ReadProcessMemory(process, remote, local.data(), size - 1, &read)) {
        *text = local.data();
        ok = true;
      }
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return ok;
}

DWORD processOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

struct BoxSearch {
  DWORD pid;
  const std::string* title;
  HWND found;
  const std::string* text = nullptr;  // a part of one of its static texts, when given
};

std::vector<std::string> staticTexts(HWND box);

bool saysText(HWND box, const std::string& text) {
  for (const std::string& shown : staticTexts(box))
    if (shown.find(text) != std::string::npos) return true;
  return false;
}

BOOL CALLBACK matchBox(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<BoxSearch*>(data);
  if (!IsWindowVisible(window) || className(window) != "#32770") return TRUE;
  if (processOf(window) != search->pid) return TRUE;
  if (*search->title != "*" && windowText(window) != *search->title) return TRUE;
  if (search->text && !saysText(window, *search->text)) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible dialog box (class #32770) of the program's process, captioned `title` ("*": any).
HWND programBox(const std::string& title, const std::string* text = nullptr) {
  HWND main = FindWindowA(kMainClass, nullptr);
  if (!main) return nullptr;
  BoxSearch search{processOf(main), &title, nullptr, text};
  EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

GUITHREADINFO threadInfo(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) info.hwndFocus = nullptr;
  return info;
}

// Whether the keyboard focus of the thread that owns `window` is in it.
bool focusInside(HWND window) {
  HWND focus = threadInfo(window).hwndFocus;
  return focus && (focus == window || IsChild(window, focus));
}

// The main window may be active with the focus on none of its children (no document shown).
bool isActive(HWND window) {
  GUITHREADINFO info = threadInfo(window);
  return info.hwndActive == window && (!info.hwndFocus || focusInside(window));
}

struct WindowSearch {
  DWORD pid;
  const char* wantedClass;   // any when null
  const std::string* title;  // any when null
  HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (!IsWindowVisible(window) || processOf(window) != search->pid) return TRUE;
  if (search->wantedClass && className(window) != search->wantedClass) return TRUE;
  if (search->title && windowText(window) != *search->title) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible top-level window of the program's process, of that class and caption.
HWND programWindow(const char* wantedClass, const std::string* title) {
  HWND main = FindWindowA(kMainClass, nullptr);
  if (!main) return nullptr;
  WindowSearch search{processOf(main), wantedClass, title, nullptr};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM data) {
  if (className(child) != "Static") return TRUE;
  std::string text = windowText(child);
  if (!text.empty()) reinterpret_cast<std::vector<std::string>*>(data)->push_back(text);
  return TRUE;
}

std::vector<std::string> staticTexts(HWND box) {
  std::vector<std::string> texts;
  EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void printRect(const char* what, HWND window, bool client) {
  RECT r;
  if (client) {
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  } else {
    GetWindowRect(window, &r);
  }
  std::printf("%s %ld %ld %ld %ld\n", what, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int fail(const char* message) {
  std::fprintf(stderr, "probe: %s\n", message);
  return 1;
}

DWORD millis(const char* text) {
  return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
}

int waitWindow(DWORD ms) {
  return waitFor(ms, [] { return mainWindow() != nullptr; }) ? 0 : fail("no main window");
}

int gone(DWORD ms) {
  return waitFor(ms, [] { return FindWindowA(kMainClass, nullptr) == nullptr; })
             ? 0
             : fail("the main window is still there");
}

int caption() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  std::printf("%s\n", windowText(main).c_str());
  return 0;
}

int panel(int index) {
  std::string text;
  // A read fails while the program has no visible main window, or is between two of them.
  if (!waitFor(5000, [&] { return panelText(index, &text); }))
    return fail("cannot read the status bar");
  std::printf("%s\n", text.c_str());
  return 0;
}

int waitCaption(const char* wanted, DWORD ms) {
  std::string text;
  bool matched = waitFor(ms, [&] {
    HWND main = mainWindow();
    if (main) text = windowText(main);
    return main && text == wanted;
  });
  std::printf("%s\n", text.c_str());
  return matched ? 0 : 1;
}

int waitPanel(int panel, const char* wanted, DWORD ms) {
  std::string text;
  bool read = false;
  bool matched = waitFor(ms, [&] {
    read = panelText(panel, &text) || read;
    return read && text == wanted;
  });
  if (!read) return fail("cannot read the status bar");
  std::printf("%s\n", text.c_str());
  return matched ? 0 : 1;
}

// Each message sent is answered only once the program's thread has come back for messages:
// the first reply means it has drained its input into its queue, the second that it has
// handled that input. The repaint then runs while the probe waits.
int settle() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  for (int round = 0; round < 2; ++round) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored))
      return fail("the program does not answer messages");
  }
  RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return 0;
}

int waitFocus(const std::string& where, DWORD ms) {
  bool inside = waitFor(ms, [&] {
    HWND main = mainWindow();
    if (!main) return false;
    if (where == "main") return isActive(main);
    HWND target = where == "view" ? pageView(main) : programWindow(nullptr, &where);
    return target && focusInside(target);
  });
  if (inside) return 0;
  std::fprintf(stderr, "probe: the keyboard focus never came into %s\n", where.c_str());
  return 1;
}

int waitNoBox(DWORD ms) {
  HWND last = nullptr;
  if (waitFor(ms, [&] { return (last = programBox("*")) == nullptr; })) return 0;
  std::printf("%s\n", windowText(last).c_str());
  return fail("a dialog box stays shown");
}

int waitShown(const std::string& title, bool shown, DWORD ms) {
  if (waitFor(ms, [&] { return (programWindow(nullptr, &title) != nullptr) == shown; })) return 0;
  std::fprintf(stderr, "probe: the window \"%s\" is %s\n", title.c_str(),
               shown ? "never shown" : "still shown");
  return 1;
}

int waitMenu(DWORD ms) {
  if (waitFor(ms, [] { return programWindow("#32768", nullptr) != nullptr; })) return 0;
  return fail("no menu is shown");
}

int geometry() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  HWND view = pageView(main);
  if (!view) return fail("no page view");
  printRect("window", main, false);
  printRect("view", view, true);
  return 0;
}

// A file dialog and the box it asks in share their caption: TEXT tells them apart.
int waitBox(const std::string& title, DWORD ms, const std::string* text = nullptr) {
  HWND box = nullptr;
  if (!waitFor(ms, [&] { return (box = programBox(title, text)) != nullptr; }))
    return fail(text ? ("no dialog box saying \"" + *text + "\"").c_str() : "no dialog box");
  // A box takes the focus once it has been created with its texts.
  if (!waitFor(ms, [&] { return focusInside(box); })) return fail("the box never took the focus");
  std::printf("%s\n", windowText(box).c_str());
  for (const std::string& text : staticTexts(box)) std::printf("%s\n", text.c_str());
  return 0;
}

int noBox() {
  HWND box = programBox("*");
  if (!box) return 0;
  std::printf("%s\n", windowText(box).c_str());
  return fail("a dialog box is shown");
}

int pressOk(const std::string& title) {
  HWND box = programBox(title);
  if (!box) return fail("no dialog box");
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  return 0;
}

int pressCancel(const std::string& title) {
  HWND box = programBox(title);
  if (!box) return fail("no dialog box");
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDCANCEL)));
  return 0;
}

// The print dialog's standard controls: the "Pages" choice and its two number fields.
int printPages(const char* from, const char* to) {
  HWND box = programBox("Print");
  if (!box) return fail("no Print dialog");
  const int kPagesChoice = 0x0420 + 2;  // rad3
  const int kFromField = 0x0480;        // edt1
  const int kToField = 0x0481;          // edt2
  HWND pages = GetDlgItem(box, kPagesChoice);
  HWND fromField = GetDlgItem(box, kFromField);
  HWND toField = GetDlgItem(box, kToField);
  if (!pages || !fromField || !toField) return fail("the Print dialog lacks the page range");
  if (!IsWindowEnabled(pages)) return fail("the page range cannot be chosen");
  SendMessageA(pages, BM_CLICK, 0, 0);
  SendMessageA(fromField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(from));
  SendMessageA(toField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(to));
  if (SendMessageA(pages, BM_GETCHECK, 0, 0) != BST_CHECKED) return fail("\"Pages\" not chosen");
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  return 0;
}

bool openClipboard() {
  return waitFor(2000, [] { return OpenClipboard(nullptr) != FALSE; });
}

// The clipboard's text as bytes: for "text" the whole CF_TEXT block, for "unicode" the
// CF_UNICODETEXT up to its terminating zero. False when the clipboard or the format is not
// to be had.
bool clipboardBytes(const std::string& format, std::string* bytes) {
  if (!openClipboard()) return false;
  const bool unicode = format == "unicode";
  HANDLE data = GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
  const char* block = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  if (block) {
    size_t size = GlobalSize(data);
    if (unicode) {
      const auto* text = reinterpret_cast<const wchar_t*>(block);
      size_t length = 0;
      while (length < size / sizeof(wchar_t) && text[length] != 0) ++length;
      size = length * sizeof(wchar_t);
    }
    bytes->assign(block, size);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return block != nullptr;
}

bool readFile(const char* path, std::string* bytes) {
  FILE* in = std::fopen(path, "rb");
  if (!in) return false;
  char chunk[4096];
  size_t read;
  bytes->clear();
  while ((read = std::fread(chunk, 1, sizeof(chunk), in)) > 0) bytes->append(chunk, read);
  std::fclose(in);
  return true;
}

bool writeFile(const char* path, const std::string& bytes) {
  FILE* out = std::fopen(path, "wb");
  if (!out) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

int clipboardToFile(const std::string& format, const char* path) {
  std::string bytes;
  if (!clipboardBytes(format, &bytes)) return fail("no such text on the clipboard");
  return writeFile(path, bytes) ? 0 : fail("cannot write the file");
}

// Prints what it last read (escaped) when the text never comes.
int waitClipboard(const std::string& format, const char* expectedPath, DWORD ms) {
  std::string expected, bytes;
  if (!readFile(expectedPath, &expected)) return fail("cannot read the expected text");
  if (waitFor(ms, [&] { return clipboardBytes(format, &bytes) && bytes == expected; })) return 0;
  std::printf("clipboard (%zu bytes):", bytes.size());
  for (unsigned char c : bytes.substr(0, 200))
    std::printf(c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
  std::printf("\n");
  return fail("the clipboard never held the expected text");
}

int clipboardBitmap() {
  if (!openClipboard()) return fail("cannot open the clipboard");
  int result = 0;
  // The bitmap's handle belongs to the program that put it there; its device-independent
  // form, which the clipboard offers beside it, is readable from here.
  HANDLE data = IsClipboardFormatAvailable(CF_BITMAP) ? GetClipboardData(CF_DIB) : nullptr;
  const auto* header = data ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(data)) : nullptr;
  if (!header) {
    result = fail("no CF_BITMAP on the clipboard");
  } else {
    std::printf("%ldx%ld\n", header->biWidth, std::labs(header->biHeight));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return result;
}

// Plays another program that keeps the clipboard open, as a clipboard viewer that hangs would:
// creates `readyFile` once it holds it and lets it go when `releaseFile` appears (or after `ms`).
int holdClipboard(const char* readyFile, const char* releaseFile, DWORD ms) {
  if (!waitFor(10000, [] { return OpenClipboard(nullptr) != FALSE; }))
    return fail("cannot open the clipboard");
  bool ready = writeFile(readyFile, "");
  bool released = ready && waitFor(ms, [&] {
                    return GetFileAttributesA(releaseFile) != INVALID_FILE_ATTRIBUTES;
                  });
  CloseClipboard();
  if (!ready) return fail("cannot create the ready file");
  return released ? 0 : fail("never told to let the clipboard go");
}

struct TopLevelSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TopLevelSearch*>(data);
  if (processOf(window) == search->pid) search->found.push_back(window);
  return TRUE;
}

// Windows gives a visible top-level window a task-bar button, and an Alt+Tab entry, when it
// asks for one or when it is neither owned nor a tool window.
bool hasTaskBarButton(HWND window) {
  if (!IsWindowVisible(window)) return false;
  LONG_PTR ex = GetWindowLongPtrA(window, GWL_EXSTYLE);
  if (ex & WS_EX_APPWINDOW) return true;
  return !GetWindow(window, GW_OWNER) && !(ex & WS_EX_TOOLWINDOW);
}

std::vector<HWND> taskBarButtons() {
  HWND main = FindWindowA(kMainClass, nullptr);
  if (!main) return {};
  TopLevelSearch search{processOf(main), {}};
  EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
  std::vector<HWND> buttons;
  for (HWND window : search.found)
    if (hasTaskBarButton(window)) buttons.push_back(window);
  return buttons;
}

// The task bar's view of the program, as "key=value" lines: how many buttons, the first one's
// text, area and state, and the main window's owner, extended style and visibility.
std::vector<std::string> taskBarReport() {
  HWND main = FindWindowA(kMainClass, nullptr);
  std::vector<HWND> buttons = taskBarButtons();
  HWND button = buttons.empty() ? nullptr : buttons.front();
  auto which = [&](HWND window) -> std::string {
    if (!window) return "none";
    if (window == main) return "main";
    return window == button ? "button" : "other";
  };
  std::vector<std::string> report = {"buttons=" + std::to_string(buttons.size())};
  if (button) {
    RECT r;
    GetWindowRect(button, &r);
    report.push_back("button=" + windowText(button));
    report.push_back("area=" + std::to_string(r.right - r.left) + "x" +
                     std::to_string(r.bottom - r.top));
    report.push_back(std::string("state=") + (IsIconic(button) ? "minimised" : "normal"));
  }
  if (main) {
    report.push_back("main-owner=" + which(GetWindow(main, GW_OWNER)));
    report.push_back(std::string("main-appwindow=") +
                     ((GetWindowLongPtrA(main, GWL_EXSTYLE) & WS_EX_APPWINDOW) ? "1" : "0"));
    report.push_back(std::string("main=") + (IsWindowVisible(main) ? "shown" : "hidden"));
    report.push_back("main-caption=" + windowText(main));
  }
  report.push_back("foreground=" + which(GetForegroundWindow()));
  return report;
}

int waitTaskBar(DWORD ms, int count, char** wanted) {
  std::vector<std::string> report;
  bool matched = waitFor(ms, [&] {
    report = taskBarReport();
    for (int i = 0; i < count; ++i)
      if (std::find(report.begin(), report.end(), wanted[i]) == report.end()) return false;
    return true;
  });
  for (const std::string& line : report) std::printf("%s\n", line.c_str());
  return matched ? 0 : 1;
}

int buttonAction(const std::string& action) {
  std::vector<HWND> buttons = taskBarButtons();
  if (buttons.size() != 1) return fail("not exactly one task-bar button");
  HWND button = buttons.front();
  if (action == "minimise")
    PostMessageA(button, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  else if (action == "restore")
    PostMessageA(button, WM_SYSCOMMAND, SC_RESTORE, 0);
  else if (action == "switch")
    SwitchToThisWindow(button, TRUE);
  else
    return fail("unknown button action");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wait-window" && argc == 3) return waitWindow(millis(argv[2]));
  if (command == "gone" && argc == 3) return gone(millis(argv[2]));
  if (command == "caption" && argc == 2) return caption();
  if (command == "panel" && argc == 3) return panel(std::atoi(argv[2]));
  if (command == "wait-panel" && argc == 5)
    return waitPanel(std::atoi(argv[2]), argv[3], millis(argv[4]));
  if (command == "geometry" && argc == 2) return geometry();
  if (command == "wait-box" && argc == 4) return waitBox(argv[2], millis(argv[3]));
  if (command == "wait-box" && argc == 5) {
    const std::string text = argv[4];
    return waitBox(argv[2], millis(argv[3]), &text);
  }
  if (command == "no-box" && argc == 2) return noBox();
  if (command == "press-ok" && argc == 3) return pressOk(argv[2]);
  if (command == "print-pages" && argc == 4) return printPages(argv[2], argv[3]);
  if (command == "clipboard" && argc == 3) return clipboardToFile("text", argv[2]);
  if (command == "clipboard-unicode" && argc == 3) return clipboardToFile("unicode", argv[2]);
  if (command == "wait-clipboard" && argc == 5)
    return waitClipboard(argv[2], argv[3], millis(argv[4]));
  if (command == "settle" && argc == 2) return settle();
  if (command == "wait-focus" && argc == 4) return waitFocus(argv[2], millis(argv[3]));
  if (command == "wait-no-box" && argc == 3) return waitNoBox(millis(argv[2]));
  if (command == "wait-shown" && argc == 4) return waitShown(argv[2], true, millis(argv[3]));
  if (command == "wait-hidden" && argc == 4) return waitShown(argv[2], false, millis(argv[3]));
  if (command == "wait-menu" && argc == 3) return waitMenu(millis(argv[2]));
  if (command == "clipboard-bitmap" && argc == 2) return clipboardBitmap();
  if (command == "hold-clipboard" && argc == 5)
    return holdClipboard(argv[2], argv[3], millis(argv[4]));
  if (command == "wait-caption" && argc == 4) return waitCaption(argv[2], millis(argv[3]));
  if (command == "press-cancel" && argc == 3) return pressCancel(argv[2]);
  if (command == "wait-taskbar" && argc >= 3)
    return waitTaskBar(millis(argv[2]), argc - 3, argv + 3);
  if (command == "button" && argc == 3) return buttonAction(argv[2]);
  std::fprintf(stderr, "probe: unknown command or wrong arguments; see probe.cpp\n");
  return 2;
}
