#include "framework/Forms.h"

#include <algorithm>
#include <vector>

#include "framework/Exception.h"
#include "framework/Modal.h"

namespace framework {

TApplication* Application = nullptr;

namespace {

const char kApplicationClass[] = "FolirexApplication";
const int kOffScreen = -32000;

// Every live form, so that a message can be traced to the form it is for.
std::vector<TForm*>& Forms() {
  static std::vector<TForm*> forms;
  return forms;
}

TForm* FormOf(HWND hwnd) {
  HWND top = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
  for (TForm* form : Forms())
    if (form->Handle() && form->Handle() == top) return form;
  return nullptr;
}

LRESULT CALLBACK ApplicationWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Application && Application->Handle() == hwnd &&
      Application->HandleMessage(msg, wParam, lParam, result))
    return result;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

HFONT DefaultFont() {
  static HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  return font;
}

std::string LoadStr(UINT id) {
  HINSTANCE instance = Application ? Application->Instance() : GetModuleHandleA(nullptr);
  const char* text = nullptr;
  // With a zero length LoadString hands out a pointer to the resource itself.
  int length = LoadStringA(instance, id, reinterpret_cast<char*>(&text), 0);
  if (length > 0 && text) {
    std::vector<char> buffer(static_cast<size_t>(length) * 2 + 2);
    length = LoadStringA(instance, id, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), static_cast<size_t>(std::max(length, 0)));
  }
  char buffer[1024];
  length = LoadStringA(instance, id, buffer, sizeof buffer);
  return std::string(buffer, static_cast<size_t>(std::max(length, 0)));
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication(HINSTANCE instance) : instance_(instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ApplicationWndProc;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconA(instance_, "MAINICON");  // the task-bar button's and Alt+Tab's icon
  wc.lpszClassName = kApplicationClass;
  RegisterClassA(&wc);
  // No area, and off the screen as well, so that no system, Wine with its
  // X windows of at least a pixel included, draws anything of it.
  hwnd_ =
      CreateWindowExA(0, kApplicationClass, "", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                      kOffScreen, kOffScreen, 0, 0, nullptr, nullptr, instance_, nullptr);
  Application = this;
}

TApplication::~TApplication() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (Application == this) Application = nullptr;
}

std::string TApplication::Title() const {
  char text[1024] = "";
  GetWindowTextA(hwnd_, text, sizeof text);
  return text;
}

void TApplication::SetTitle(const std::string& title) {
  SetWindowTextA(hwnd_, title.c_str());
}

void TApplication::ShowTaskBarButton() {
  if (IsWindowVisible(hwnd_)) return;
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

void TApplication::Minimize() {
  ShowWindow(hwnd_, SW_MINIMIZE);
}

void TApplication::ActivateMainForm() {
  if (!mainForm_ || !mainForm_->Visible()) return;
  // A modal box over the main form keeps the activation.
  HWND popup = GetLastActivePopup(mainForm_->Handle());
  SetActiveWindow(popup && IsWindowVisible(popup) ? popup : mainForm_->Handle());
}

bool TApplication::HandleMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (msg) {
    case WM_ACTIVATE:
      // Activating the button's window, from the task bar or Alt+Tab, means the main form.
      if (LOWORD(wParam) == WA_INACTIVE) return false;
      ActivateMainForm();
      return true;
    case WM_SIZE:
      // However it was minimised or restored (the main form's minimise button
      // sends here, the task bar and Alt+Tab act on this window), the
      // program's windows, owned by it or by its forms, go and come back with it.
      if (wParam == SIZE_MINIMIZED) {
        minimized_ = true;
        ShowOwnedPopups(hwnd_, FALSE);
        for (TForm* form : Forms()) ShowOwnedPopups(form->Handle(), FALSE);
      } else if (wParam == SIZE_RESTORED && minimized_) {
        minimized_ = false;
        ShowOwnedPopups(hwnd_, TRUE);  // only what the minimising hid
        for (TForm* form : Forms()) ShowOwnedPopups(form->Handle(), TRUE);
        ActivateMainForm();
      }
      return false;
    case WM_CLOSE:
      // Closing from the task bar closes the program as its main form's close box does.
      if (mainForm_) mainForm_->Close();
      result = 0;
      return true;
  }
  return false;
}

void TApplication::Run() {
  MSG msg;
  while (!terminated_) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    ProcessMessage(msg);
  }
}

bool TApplication::IsShortCut(MSG& msg) {
  TForm* form = FormOf(msg.hwnd);
  if (!form || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)) return false;
  try {
    return form->IsShortCut(msg);
  } catch (const std::exception& failure) {
    // The command that took the key failed: reported here, the key consumed.
    HandleException(failure);
    return true;
  }
}

void TApplication::ProcessMessage(MSG& msg) {
  if (IsShortCut(msg)) return;
  TForm* form = FormOf(msg.hwnd);
  if (form && form->IsDialog() && IsDialogMessageA(form->Handle(), &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    ProcessMessage(msg);
  }
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::HandleException(const std::exception& failure) {
  ShowException(failure.what());
}

void TApplication::ShowException(const std::string& message) {
  HWND owner = GetActiveWindow();
  if (!owner && mainForm_) owner = mainForm_->Handle();
  ModalUi().ShowMessageBox(owner, ErrorReportText(message), Title(), MB_OK | MB_ICONSTOP);
}

void TApplication::FormActivated(TForm* form) {
  if (activeForm_ == form) return;
  activeForm_ = form;
  form->Activate();
}

void TApplication::FormDestroyed(TForm* form) {
  if (activeForm_ == form) activeForm_ = nullptr;
  if (mainForm_ == form) mainForm_ = nullptr;
}

// ----------------------------------------------------------------------- TForm

TForm::~TForm() {
  auto& forms = Forms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (Application) Application->FormDestroyed(this);
  if (hwnd_) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void TForm::CreateHandle(const char* className, const std::string& caption, DWORD style,
                         DWORD exStyle, const RECT& bounds, HWND owner, HICON icon) {
  HINSTANCE instance = Application ? Application->Instance() : GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  if (!GetClassInfoA(instance, className, &wc)) {
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) raiseLastError();
  }
  if (!owner && Application) owner = Application->Handle();
  hwnd_ = CreateWindowExA(exStyle, className, caption.c_str(), style, bounds.left, bounds.top,
                          bounds.right - bounds.left, bounds.bottom - bounds.top, owner, nullptr,
                          instance, this);
  if (!hwnd_) raiseLastError();
  Forms().push_back(this);
}

std::string TForm::Caption() const {
  int length = GetWindowTextLengthA(hwnd_);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  length = GetWindowTextA(hwnd_, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(length, 0)));
  return text;
}

void TForm::SetCaption(const std::string& caption) {
  SetWindowTextA(hwnd_, caption.c_str());
}

bool TForm::Visible() const {
  return hwnd_ && IsWindowVisible(hwnd_);
}

void TForm::Show() {
  if (Application && Application->MainForm() == this) Application->ShowTaskBarButton();
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void TForm::Hide() {
  ShowWindow(hwnd_, SW_HIDE);
}

void TForm::Close() {
  SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

int TForm::ShowModal() {
  // The other windows of the program take no input while this one is up.
  std::vector<HWND> disabled;
  for (TForm* form : Forms()) {
    if (form != this && form->hwnd_ && IsWindowEnabled(form->hwnd_) &&
        IsWindowVisible(form->hwnd_)) {
      EnableWindow(form->hwnd_, FALSE);
      disabled.push_back(form->hwnd_);
    }
  }
  HWND previousActive = GetActiveWindow();
  modalResult_ = 0;
  inModalLoop_ = true;
  Show();
  SetActiveWindow(hwnd_);
  MSG msg;
  while (modalResult_ == 0) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Application->ProcessMessage(msg);
  }
  inModalLoop_ = false;
  // Give the activation back before hiding: hiding the active window first
  // leaves the system looking for another one to activate.
  for (HWND hwnd : disabled) EnableWindow(hwnd, TRUE);
  if (previousActive && previousActive != hwnd_ && IsWindow(previousActive))
    SetActiveWindow(previousActive);
  Hide();
  return modalResult_;
}

LRESULT TForm::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && Application) Application->FormActivated(this);
      break;
    case WM_SYSCOMMAND:
      // The main form is owned by the application's window, which has the
      // task-bar button: minimising the program minimises that window.
      if ((wParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
        Application->Minimize();
        return 0;
      }
      break;
    case WM_CLOSE:
      if (inModalLoop_) {
        modalResult_ = IDCANCEL;
        return 0;
      }
      DoClose();
      if (Application && Application->MainForm() == this)
        Application->Terminate();
      else
        Hide();
      return 0;
  }
  return DefaultProc(msg, wParam, lParam);
}

LRESULT CALLBACK TForm::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* form = WindowObject<TForm>(hwnd, msg, lParam);
  if (!form) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCCREATE) form->hwnd_ = hwnd;  // before CreateWindowEx returns it
  // No exception may cross the system's frames: report it here and go on.
  try {
    return form->WndProc(msg, wParam, lParam);
  } catch (const std::exception& failure) {
    if (Application) Application->HandleException(failure);
    return 0;
  }
}

}  // namespace framework
