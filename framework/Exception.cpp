#include "framework/Exception.h"

#include <cderr.h>

namespace framework {

std::string commonDialogMessage(DWORD code) {
  struct Known {
    DWORD code;
    const char* text;
  };
  static const Known known[] = {
      {CDERR_DIALOGFAILURE, "The dialog box could not be created"},
      {CDERR_STRUCTSIZE, "The dialog box was given settings of the wrong size"},
      {CDERR_INITIALIZATION, "The dialog box could not be initialized"},
      {CDERR_MEMALLOCFAILURE, "The dialog box could not allocate memory"},
      {FNERR_INVALIDFILENAME, "The file name is not valid"},
      {FNERR_BUFFERTOOSMALL, "The file name is too long"},
      {PDERR_NODEFAULTPRN, "There is no default printer"},
      {PDERR_PRINTERNOTFOUND, "The printer was not found"},
  };
  std::string text = "The dialog box failed";
  for (const Known& entry : known)
    if (entry.code == code) text = entry.text;
  char suffix[48];
  wsprintfA(suffix, " (common dialog error 0x%04lX)", static_cast<unsigned long>(code));
  return text + suffix;
}

}  // namespace framework
