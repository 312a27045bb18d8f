#include "viewing/Magnification.h"

namespace viewing {

namespace {

void Fit(imaging::TMiDocView& view, imaging::FitMode mode) {
  try {
    view.SetFitMode(mode);
  } catch (const std::exception&) {
  }
}

}  // namespace

void Magnify(imaging::TMiDocView& view, Magnification magnification) {
  switch (magnification) {
    case Magnification::Half:
      return view.SetScale(0.5, 0.5);
    case Magnification::Whole:
      return view.SetScale(1.0, 1.0);
    case Magnification::Double:
      return view.SetScale(2.0, 2.0);
    case Magnification::FitWidth:
      return Fit(view, imaging::FitWidth);
    case Magnification::FitHeight:
      return Fit(view, imaging::FitHeight);
    case Magnification::FitWindow:
      return Fit(view, imaging::FitWindow);
    case Magnification::FitText:
      return Fit(view, imaging::FitText);
  }
}

}  // namespace viewing
