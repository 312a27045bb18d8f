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
//   probe wait-box TITLE MS       waits for a dialog box of the program captioned TITLE (any
//                                 title when TITLE is "*"); prints its caption, then the texts
//                                 of its static controls, one a line
//   probe no-box                  exit 1 when the program shows a dialog box
//   probe press-ok TITLE          presses OK in the program's dialog box captioned TITLE
//   probe press-cancel TITLE      presses Cancel in the program's dialog box captioned TITLE
//   probe print-pages FROM TO     in the program's Print dialog: the page range FROM to TO, OK
//   probe clipboard FILE          writes the clipboard's CF_TEXT block to FILE
//   probe clipboard-unicode FILE  writes the clipboard's CF_UNICODETEXT, up to its terminating
//                                 zero, to FILE (UTF-16LE)
//   probe clipboard-bitmap        prints "WIDTHxHEIGHT" of the clipboard's bitmap (CF_BITMAP)
//   probe hold-clipboard MS FILE  opens the clipboard and keeps it open for MS milliseconds;
//                                 creates FILE (a Windows path) once it holds it
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
};

BOOL CALLBACK matchBox(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<BoxSearch*>(data);
  if (!IsWindowVisible(window) || className(window) != "#32770") return TRUE;
  if (processOf(window) != search->pid) return TRUE;
  if (*search->title != "*" && windowText(window) != *search->title) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible dialog box (class #32770) of the program's process, captioned `title` ("*": any).
HWND programBox(const std::string& title) {
  HWND main = FindWindowA(kMainClass, nullptr);
  if (!main) return nullptr;
  BoxSearch search{processOf(main), &title, nullptr};
  EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
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
  if (!panelText(index, &text)) return fail("cannot read the status bar");
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

int geometry() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  HWND view = pageView(main);
  if (!view) return fail("no page view");
  printRect("window", main, false);
  printRect("view", view, true);
  return 0;
}

int waitBox(const std::string& title, DWORD ms) {
  HWND box = nullptr;
  if (!waitFor(ms, [&] { return (box = programBox(title)) != nullptr; }))
    return fail("no dialog box");
  // The texts are set while the box is created; give it a moment to finish.
  Sleep(100);
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

int clipboard(const char* path) {
  if (!waitFor(2000, [] { return OpenClipboard(nullptr) != FALSE; }))
    return fail("cannot open the clipboard");
  int result = 0;
  HANDLE data = GetClipboardData(CF_TEXT);
  const void* bytes = data ? GlobalLock(data) : nullptr;
  if (!bytes) {
    result = fail("no CF_TEXT on the clipboard");
  } else {
    FILE* out = std::fopen(path, "wb");
    if (!out || std::fwrite(bytes, 1, GlobalSize(data), out) != GlobalSize(data))
      result = fail("cannot write the file");
    if (out) std::fclose(out);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return result;
}

bool openClipboard() {
  return waitFor(2000, [] { return OpenClipboard(nullptr) != FALSE; });
}

int clipboardUnicode(const char* path) {
  if (!openClipboard()) return fail("cannot open the clipboard");
  int result = 0;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  if (!text) {
    result = fail("no CF_UNICODETEXT on the clipboard");
  } else {
    const size_t units = GlobalSize(data) / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && text[length] != 0) ++length;
    FILE* out = std::fopen(path, "wb");
    if (!out || std::fwrite(text, sizeof(wchar_t), length, out) != length)
      result = fail("cannot write the file");
    if (out) std::fclose(out);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return result;
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

// Plays another program that keeps the clipboard open, as a clipboard viewer that hangs would.
int holdClipboard(DWORD ms, const char* readyFile) {
  if (!openClipboard()) return fail("cannot open the clipboard");
  HANDLE ready = CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(ms);
  CloseClipboard();
  return ready != INVALID_HANDLE_VALUE ? 0 : fail("cannot create the ready file");
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
  if (command == "no-box" && argc == 2) return noBox();
  if (command == "press-ok" && argc == 3) return pressOk(argv[2]);
  if (command == "print-pages" && argc == 4) return printPages(argv[2], argv[3]);
  if (command == "clipboard" && argc == 3) return clipboard(argv[2]);
  if (command == "clipboard-unicode" && argc == 3) return clipboardUnicode(argv[2]);
  if (command == "clipboard-bitmap" && argc == 2) return clipboardBitmap();
  if (command == "hold-clipboard" && argc == 4) return holdClipboard(millis(argv[2]), argv[3]);
  if (command == "wait-caption" && argc == 4) return waitCaption(argv[2], millis(argv[3]));
  if (command == "press-cancel" && argc == 3) return pressCancel(argv[2]);
  if (command == "wait-taskbar" && argc >= 3)
    return waitTaskBar(millis(argv[2]), argc - 3, argv + 3);
  if (command == "button" && argc == 3) return buttonAction(argv[2]);
  std::fprintf(stderr, "probe: unknown command or wrong arguments; see probe.cpp\n");
  return 2;
}
