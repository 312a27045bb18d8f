#include "framework/Modal.h"

#include <shellapi.h>

#include "framework/Forms.h"

namespace framework {

int Modal::ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                          UINT type) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

void Modal::Beep(UINT type) {
  MessageBeep(type);
}

bool Modal::ShowOpenDialog(OPENFILENAMEA& settings) {
  return GetOpenFileNameA(&settings);
}

bool Modal::ShowSaveDialog(OPENFILENAMEA& settings) {
  return GetSaveFileNameA(&settings);
}

bool Modal::ShowPrintDialog(PRINTDLGA& settings) {
  return PrintDlgA(&settings);
}

DWORD Modal::CommonDialogError() {
  return CommDlgExtendedError();
}

HINSTANCE Modal::RunShellExecute(HWND owner, const char* verb, const char* file,
                                 const char* parameters, const char* directory, int show) {
  return ShellExecuteA(owner, verb, file, parameters, directory, show);
}

namespace {

Modal* installed = nullptr;

}  // namespace

Modal& ModalUi() {
  static Modal real;
  return installed ? *installed : real;
}

Modal* SetModalUi(Modal* modal) {
  Modal* previous = installed;
  installed = modal;
  return previous;
}

void RunOrShowError(HWND owner, UINT messageId, const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception&) {
    ModalUi().ShowMessageBox(owner, LoadStr(messageId), "Error", MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace framework
