// Printing a page range: the component prints, given the range, the copies
// and the name of the printer confirmed in `PRNT`.
#include "app/main.h"
#include "framework/Exception.h"
#include "output/Bstr.h"
#include "output/PrintDialog.h"

void TForm1::Print0Execute() {
  PRNT->MinPage = 1;
  const LONG count = mdi->PageCount();
  PRNT->MaxPage = count;
  PRNT->FromPage = PRNT->MinPage;
  PRNT->ToPage = PRNT->MaxPage;
  try {
    auto document =
        mdi->DocumentObject().as<MODI_TLB::IDocumentObject>(MODI_TLB::IID_IDocumentObject);
    if (!document) throw framework::Exception("The document cannot be printed");
    if (!PRNT->Execute(Handle())) return;
    const LONG first = PRNT->FromPage - 1;
    const LONG last = PRNT->ToPage - 1;
    output::Bstr printer(imaging::ansiToWide(PRNT->Printers.Current().text));
    imaging::OleCheck(document->PrintDocument(first, last, PRNT->Copies, printer.get(), 0, 0, 0),
                      document.get(), MODI_TLB::IID_IDocumentObject);
  } catch (const std::exception&) {
    ShowError(IDS_FAILED_TO_PRINT);
  }
}
