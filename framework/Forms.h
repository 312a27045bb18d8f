// The application object and the base of the program's windows: what a window
// toolkit would otherwise provide.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace framework {

class TForm {
 public:
  TForm() = default;
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  HWND Handle() const { return hwnd_; }
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  bool Visible() const;
  void Show();
  void Hide();
  // Asks the window to close, as its close box does.
  void Close();

  // Shows the form modally over the application's other windows and returns
  // the modal result once something sets one.
  int ShowModal();
  void SetModalResult(int result) { modalResult_ = result; }
  int ModalResult() const { return modalResult_; }

  // The key dispatch of the form's menus; true when the key was taken.
  virtual bool IsShortCut(MSG&) { return false; }
  // Dialog-style forms let the system move the focus between their controls.
  virtual bool IsDialog() const { return false; }

 protected:
  // Creates the window; `bounds` is the outer frame in screen coordinates.
  void CreateHandle(const char* className, const std::string& caption, DWORD style, DWORD exStyle,
                    const RECT& bounds, HWND owner, HICON icon = nullptr);
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // The activation steps: run when this form becomes the application's active
  // form, not when the focus comes back from a dialog or another program.
  virtual void Activate() {}
  // The close steps; the main form's closing ends the message loop.
  virtual void DoClose() {}

 private:
  friend class TApplication;
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  int modalResult_ = 0;
  bool inModalLoop_ = false;
};

class TApplication {
 public:
  explicit TApplication(HINSTANCE instance);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  HINSTANCE Instance() const { return instance_; }
  // The window of the task-bar button and the Alt+Tab entry, with the
  // application title as its text: shown once the main form is, but without
  // area on the screen, and the owner of the program's forms.
  HWND Handle() const { return hwnd_; }
  std::string Title() const;
  void SetTitle(const std::string& title);
  void ShowTaskBarButton();
  // Minimises the program: the button's window, and with it every form.
  void Minimize();
  // The button window's own handling of a message; false leaves it to the system.
  bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  TForm* MainForm() const { return mainForm_; }
  void SetMainForm(TForm* form) { mainForm_ = form; }
  TForm* ActiveForm() const { return activeForm_; }

  // Runs the message loop until the main form has closed.
  void Run();
  // The key dispatch of the form a key message is for; true when the key was
  // taken. A failure of the command that runs is reported here.
  bool IsShortCut(MSG& msg);
  // Handles one message: the key dispatch of the form it is for, else the usual way.
  void ProcessMessage(MSG& msg);
  // Handles every message waiting, then returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The default error report: a modal box with the failure's text, the
  // application title as caption, the stop icon and OK.
  void HandleException(const std::exception& failure);
  void ShowException(const std::string& message);

 private:
  friend class TForm;
  void FormActivated(TForm* form);
  void FormDestroyed(TForm* form);
  void ActivateMainForm();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  TForm* mainForm_ = nullptr;
  TForm* activeForm_ = nullptr;
  bool terminated_ = false;
  bool minimized_ = false;
};

// The one application object of the process.
extern TApplication* Application;

// The text the default error report shows: a full stop appended when the
// message's last character has a code above that of the full stop.
std::string ErrorReportText(const std::string& message);

// In a window procedure of one of the program's window classes: the object the
// window was created for (CreateWindowEx's last argument), kept in the window's
// user data from WM_NCCREATE on; null before, or once the user data is cleared.
template <class T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    void* created = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// "MS Sans Serif" at 8 points, the program's window font.
HFONT DefaultFont();

// One of the program's string resources, loaded at each use.
std::string LoadStr(UINT id);

}  // namespace framework
