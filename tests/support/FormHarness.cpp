#include "tests/support/FormHarness.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace testing_support {

int ModalRecorder::ShowMessageBox(HWND, const std::string& text, const std::string& caption,
                                  UINT type) {
  messages.push_back({text, caption, type});
  return IDOK;
}

namespace {

template <class Settings>
bool Answer(std::vector<std::function<bool(Settings&)>>& answers, int& calls, Settings& settings) {
  ++calls;
  if (answers.empty()) return false;
  auto answer = answers.front();
  answers.erase(answers.begin());
  return answer(settings);
}

}  // namespace

bool ModalRecorder::ShowOpenDialog(OPENFILENAMEA& settings) {
  return Answer(openAnswers, openCalls, settings);
}

bool ModalRecorder::ShowSaveDialog(OPENFILENAMEA& settings) {
  return Answer(saveAnswers, saveCalls, settings);
}

bool ModalRecorder::ShowPrintDialog(PRINTDLGA& settings) {
  return Answer(printAnswers, printCalls, settings);
}

HINSTANCE ModalRecorder::RunShellExecute(HWND owner, const char* verb, const char* file,
                                         const char* parameters, const char* directory, int show) {
  auto text = [](const char* s) { return std::string(s ? s : ""); };
  shellCalls.push_back({owner, text(verb), text(file), text(parameters), text(directory),
                        parameters == nullptr, directory == nullptr, show});
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

std::function<bool(OPENFILENAMEA&)> Choose(const std::string& name) {
  return [name](OPENFILENAMEA& settings) {
    if (name.size() + 1 > settings.nMaxFile) return false;
    lstrcpyA(settings.lpstrFile, name.c_str());
    return true;
  };
}

FormHarness::FormHarness() {
  previousModal_ = framework::SetModalUi(&modal);
  form = std::make_unique<TForm1>();
  Form1 = form.get();
  app.SetMainForm(form.get());
}

FormHarness::~FormHarness() {
  form.reset();
  framework::SetModalUi(previousModal_);
}

bool FormHarness::PressKey(WORD virtualKey, bool ctrl, bool alt) {
  // The dispatch reads the modifiers from the keyboard state, as for a real key.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE saved[256];
  memcpy(saved, keys, sizeof keys);
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  keys[VK_MENU] = alt ? 0x80 : 0;
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  MSG msg = {};
  msg.hwnd = GetFocus() ? GetFocus() : form->Handle();
  msg.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  msg.wParam = virtualKey;
  bool taken = app.IsShortCut(msg);
  SetKeyboardState(saved);
  return taken;
}

TempDir::TempDir() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static int counter = 0;
  for (;;) {
    path_ = std::string(base) + "folirex-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
}

namespace {

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(child);
      else
        DeleteFileA(child.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

}  // namespace

TempDir::~TempDir() {
  RemoveTree(path_);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  std::string path = file(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string TempDir::longFolder(size_t length) const {
  std::string folder = path_ + "\\" + std::string(length - path_.size() - 1, 'd');
  CreateDirectoryW((L"\\\\?\\" + Wide(folder)).c_str(), nullptr);
  return folder;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring Wide(const std::string& ansi) {
  int length =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
  return wide;
}

}  // namespace testing_support
