// The three fixed scales and the four fit modes, with exactly one check mark.
#include "app/main.h"

void TForm1::CheckMagnification(TAction* chosen) {
  // The mark moves before the control is asked, so it stays even when refused.
  for (TAction* action : {Zoom0, Zoom1, Zoom2, Action1, Action2, Action3, Action4})
    action->Checked = action == chosen;
}

void TForm1::Zoom0Execute() {
  CheckMagnification(Zoom0);
  mdi->SetScale(2.0, 2.0);
}

void TForm1::Zoom1Execute() {
  CheckMagnification(Zoom1);
  mdi->SetScale(1.0, 1.0);
}

void TForm1::Zoom2Execute() {
  CheckMagnification(Zoom2);
  mdi->SetScale(0.5, 0.5);
}

namespace {

// A fit mode the control refuses is ignored: no message, no beep.
void TryFitMode(imaging::TMiDocView& view, LONG mode) {
  try {
    view.SetFitMode(mode);
  } catch (const std::exception&) {
  }
}

}  // namespace

void TForm1::Action1Execute() {
  CheckMagnification(Action1);
  TryFitMode(*mdi, MODI_TLB::FitWidth);
}

void TForm1::Action2Execute() {
  CheckMagnification(Action2);
  TryFitMode(*mdi, MODI_TLB::FitHeight);
}

void TForm1::Action3Execute() {
  CheckMagnification(Action3);
  TryFitMode(*mdi, MODI_TLB::FitWindow);
}

void TForm1::Action4Execute() {
  CheckMagnification(Action4);
  TryFitMode(*mdi, MODI_TLB::FitText);
}
