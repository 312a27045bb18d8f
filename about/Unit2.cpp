// Placeholder until the About box lands.
#include "about/Unit2.h"

#include "app/main.h"

TABOUT* ABOUT = nullptr;

TABOUT::TABOUT() {}

void TForm1::AboutFolirex1Click() {
  if (ABOUT) ABOUT->ShowModal();
}
