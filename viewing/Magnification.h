// The seven ways the view magnifies the page: three fixed scales and four fit modes.
#pragma once

#include "imaging/TMiDocView.h"

namespace viewing {

enum class Magnification { Half, Whole, Double, FitWidth, FitHeight, FitWindow, FitText };

// Asks the control for `magnification`. A refused scale throws with the
// control's text; a refused fit mode is ignored, with no message and no beep.
void Magnify(imaging::TMiDocView& view, Magnification magnification);

}  // namespace viewing
