// The process entry: the application object, the main window and the About
// box, then the message loop until the main window closes.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <memory>

#include "about/Unit2.h"
#include "app/main.h"

namespace {

// COM on this thread as a single-threaded apartment, for the run's length.
struct OleSession {
  HRESULT hr = OleInitialize(nullptr);
  ~OleSession() {
    if (SUCCEEDED(hr)) OleUninitialize();
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  OleSession ole;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  framework::TApplication application(instance);
  application.SetTitle(framework::LoadStr(IDS_PROGRAM_NAME));
  try {
    auto form = std::make_unique<TForm1>();
    Form1 = form.get();
    application.SetMainForm(form.get());
    auto about = std::make_unique<TABOUT>(form->Handle());
    ABOUT = about.get();
    form->Show();
    application.Run();
    ABOUT = nullptr;
  } catch (const std::exception& failure) {
    application.ShowException(failure.what());
    return 1;
  }
  return 0;
}
