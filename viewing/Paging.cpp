#include "viewing/Paging.h"

#include <cstdio>
#include <string>

#include "framework/Modal.h"

namespace viewing {

void TurnPage(imaging::TMiDocView& view, int step) {
  try {
    if (view.HasDocument()) {
      view.SetPageNum(view.PageNum() + step);
      return;
    }
  } catch (const std::exception&) {
  }
  framework::ModalUi().Beep(0);
}

void ShowPageStatus(imaging::TMiDocView& view, framework::TStatusBar& status) {
  const LONG page = view.PageNum();
  if (page < 0) {
    status.SetPanelText(1, "");
    return;
  }
  status.SetPanelText(
      1, "Page " + std::to_string(page + 1) + " of " + std::to_string(view.PageCount()));
}

std::string PageCaption(const char* format, int page) {
  char text[64];
  std::snprintf(text, sizeof text, format, page);
  return text;
}

}  // namespace viewing
