// Placeholder until the last-file record lands.
#include "app/main.h"

void TForm1::lastfile1Click() {
  OpenDocument(lastfile1->Hint);
}
void TForm1::ReadLastFileRecord() {}
void TForm1::WriteLastFileRecord() {}
