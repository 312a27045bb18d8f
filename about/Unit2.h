// The About box `ABOUT`: the program's name and version, and a Donate button.
#pragma once

#include "framework/Forms.h"

class TABOUT : public framework::TForm {
 public:
  TABOUT();
};

extern TABOUT* ABOUT;
