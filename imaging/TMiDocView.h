// The page-view control `mdi`: creates the imaging component's control by class
// id, sites it and activates it in place in a parent window, forwards its
// current-page event, and turns every call into either a value or an exception.
// Only this wrapper speaks the component's interfaces; the program's commands
// use its verbs.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/ComPtr.h"
#include "framework/Text.h"

// The component's own objects, complete only where its interfaces are included.
namespace MODI_TLB {
struct IMiSelectableItem;
struct IMiSelectableImage;
}  // namespace MODI_TLB

namespace imaging {

// How the control fits the page into its window, as its FitMode property takes it.
enum FitMode : LONG { FitWidth = 1, FitHeight = 2, FitWindow = 3, FitText = 4 };

class TMiDocView {
 public:
  // Creates the control (in-process or local) and activates it in place as a
  // child of `parent`, filling `bounds`. Throws framework::OleError.
  TMiDocView(HWND parent, const RECT& bounds);
  ~TMiDocView();  // deactivate, unadvise, close, release: in that order
  TMiDocView(const TMiDocView&) = delete;
  TMiDocView& operator=(const TMiDocView&) = delete;

  // The control's current-page-changed event (id 6). An exception escaping the
  // handler goes to `OnEventError`; the event itself always returns normally.
  std::function<void()> OnCurPageNumChanged;
  std::function<void(const std::exception&)> OnEventError;

  void SetBounds(const RECT& bounds);
  // True while the keyboard focus is in the control's window or one of its children.
  bool ContainsFocus() const;
  void SetFocus();
  // Offers a key to the control's in-place accelerator translation; true when taken.
  bool TranslateAccelerator(MSG& msg);

  // Properties, through IDispatch by dispatch id.
  framework::ComPtr<IDispatch> DocumentObject();
  void SetFileName(const std::string& ansiName);  // empty closes the document
  LONG PageNum();
  void SetPageNum(LONG page);
  LONG PageCount();
  void SetFitMode(LONG mode);

  // IMiDocView, by vtable slot.
  void SetScale(double scaleX, double scaleY);
  framework::ComPtr<MODI_TLB::IMiSelectableItem> TextSelection();
  framework::ComPtr<MODI_TLB::IMiSelectableImage> ImageSelection();
  void SelectPage(LONG page);  // -1 selects nothing

  // The verbs of the program's commands. Every failure throws framework::OleError
  // or framework::Exception.
  // True when the control holds a document it can print: the sign that one is open.
  bool HasDocument();
  // The component copies the selected page's text, or its image, to the clipboard.
  void CopySelectedText();
  void CopySelectedImage();
  // The selected page's text, in the ANSI code page.
  std::string SelectedText();
  // The component prints pages `first` to `last` (counted from 0) `copies`
  // times on the printer of that name.
  void PrintPages(LONG first, LONG last, LONG copies, const std::string& printer);

 private:
  struct Site;
  std::unique_ptr<Site> site_;
};

// Turns a vtable call's status into an exception when it is negative, with the
// description from the object's error information, else the system's text.
void OleCheck(HRESULT hr, IUnknown* object, REFIID iid);

using framework::ansiToWide;
using framework::wideToAnsi;

}  // namespace imaging
