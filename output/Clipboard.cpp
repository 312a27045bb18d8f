// Placeholder until the clipboard commands land.
#include "app/main.h"

void TForm1::CopyTextExecute() {}
void TForm1::CopyImageExecute() {}
void TForm1::sellAllTxtExecute() {}
void TForm1::Save0Execute() {}
void TForm1::Print0Execute() {}
