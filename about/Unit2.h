// The About box `ABOUT`: the program's name and version, a contact address, a
// request for donations and a button that opens the donation page.
#pragma once

#include <windows.h>

#include "about/AboutControls.h"
#include "framework/Forms.h"

class TABOUT : public framework::TForm {
 public:
  // Creates the box hidden, owned by `owner`, the main window.
  explicit TABOUT(HWND owner);

  HWND Panel1 = nullptr;
  about::PictureBox Image1;  // the program icon
  HWND Memo1 = nullptr;
  about::PictureBox Image2;  // the donation badge
  HWND Button1 = nullptr;    // "Close": the default and the cancel button
  HWND Button2 = nullptr;    // "Donate"

  void Button1Click();
  void Button2Click();

  bool IsDialog() const override { return true; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateControls();
  void CentreOverOwner();
  void MoveFocus(WPARAM wParam, LPARAM lParam);

  HWND focused_ = nullptr;  // the control to give the focus back to
  bool placed_ = false;     // centred once, at the first showing
};

extern TABOUT* ABOUT;

// Where the "Donate" button takes the user.
extern const char kDonationAddress[];
