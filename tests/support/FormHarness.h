// A main window on the fake control, with every modal thing answered by the
// test: message boxes and beeps are recorded, dialogs answered by scripts.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main.h"
#include "framework/Forms.h"
#include "framework/Modal.h"
#include "tests/fakes/FakeControl.h"

namespace testing_support {

struct MessageBoxCall {
  std::string text;
  std::string caption;
  UINT type;
};

struct ShellCall {
  HWND owner;
  std::string verb, file, parameters, directory;
  bool parametersNull, directoryNull;
  int show;
};

class ModalRecorder : public framework::Modal {
 public:
  std::vector<MessageBoxCall> messages;
  std::vector<UINT> beeps;
  std::vector<ShellCall> shellCalls;
  // Each dialog call takes the next script; with none left it is cancelled.
  std::vector<std::function<bool(OPENFILENAMEA&)>> openAnswers, saveAnswers;
  std::vector<std::function<bool(PRINTDLGA&)>> printAnswers;
  int openCalls = 0, saveCalls = 0, printCalls = 0;
  // What the dialog that answered false says of itself: 0, a cancel.
  DWORD dialogError = 0;

  int ShowMessageBox(HWND, const std::string& text, const std::string& caption, UINT type) override;
  void Beep(UINT type) override { beeps.push_back(type); }
  bool ShowOpenDialog(OPENFILENAMEA& settings) override;
  bool ShowSaveDialog(OPENFILENAMEA& settings) override;
  bool ShowPrintDialog(PRINTDLGA& settings) override;
  DWORD CommonDialogError() override { return dialogError; }
  HINSTANCE RunShellExecute(HWND owner, const char* verb, const char* file, const char* parameters,
                            const char* directory, int show) override;
};

// An answer for a file dialog: types `name` into it and confirms.
std::function<bool(OPENFILENAMEA&)> Choose(const std::string& name);

class FormHarness {
 public:
  FormHarness();
  ~FormHarness();

  framework::TApplication app{GetModuleHandleA(nullptr)};
  fakes::FakeControlRegistration registration;
  fakes::FakeState& fake = registration.state();
  ModalRecorder modal;
  std::unique_ptr<TForm1> form;

  std::string Panel(int index) const { return form->status.PanelText(index); }
  // Sends a key to the focused window as the message loop would dispatch it.
  bool PressKey(WORD virtualKey, bool ctrl = false, bool alt = false);

 private:
  framework::Modal* previousModal_;
};

// A path in a fresh temporary folder, removed by the folder's owner.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }
  // Writes a file with the given bytes and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  // Makes a folder inside whose full path is `length` characters long, longer
  // than the ANSI functions can create, and returns its path.
  std::string longFolder(size_t length) const;

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);
std::wstring Wide(const std::string& ansi);

}  // namespace testing_support
