#include "output/Print.h"

#include "framework/Exception.h"

namespace output {

void OfferAllPages(imaging::TMiDocView& view, TPrintDialog& dialog) {
  dialog.MinPage = 1;
  dialog.MaxPage = view.PageCount();
  dialog.FromPage = dialog.MinPage;
  dialog.ToPage = dialog.MaxPage;
}

void PrintChosenPages(imaging::TMiDocView& view, HWND owner, TPrintDialog& dialog) {
  if (!view.HasDocument()) throw framework::Exception("The document cannot be printed");
  if (!dialog.Execute(owner)) return;
  view.PrintPages(dialog.FromPage - 1, dialog.ToPage - 1, dialog.Copies,
                  dialog.Printers.Current().text);
}

}  // namespace output
