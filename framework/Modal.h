// The one narrow seam for everything modal or outside the window: message
// boxes, the beep, the common dialogs and the shell. The program calls them
// through ModalUi(); tests install their own answers.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <string>

namespace framework {

class Modal {
 public:
  virtual ~Modal() = default;
  virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                             UINT type);
  virtual void Beep(UINT type);
  virtual bool ShowOpenDialog(OPENFILENAMEA& settings);
  virtual bool ShowSaveDialog(OPENFILENAMEA& settings);
  virtual bool ShowPrintDialog(PRINTDLGA& settings);
  // Why the last common dialog returned false: 0 for a cancel, else its failure.
  virtual DWORD CommonDialogError();
  virtual HINSTANCE RunShellExecute(HWND owner, const char* verb, const char* file,
                                    const char* parameters, const char* directory, int show);
};

Modal& ModalUi();
// Installs another implementation; returns the one it replaces. Null restores the real one.
Modal* SetModalUi(Modal* modal);

// Runs a command whose failures the user sees as one fixed text: a failure is
// answered with string resource `messageId` in an error box over `owner`, never
// with the failure's own message.
void RunOrShowError(HWND owner, UINT messageId, const std::function<void()>& command);

}  // namespace framework
