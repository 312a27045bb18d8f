// `Image1`: the hidden picture holder that carries a page bitmap while it is saved.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Handles.h"
#include "output/BmpWriter.h"

namespace output {

class TImage {
 public:
  // Replaces the picture with a copy of `source`. The source stays its
  // owner's (the clipboard's bitmap must never be released by the program).
  // Throws framework::Exception.
  void SetBitmap(HBITMAP source);
  // The picture's own bitmap, null before the first one was set.
  HBITMAP Bitmap() const { return bitmap_.get(); }
  // Writes the picture as a BMP file in place of whatever `path` held.
  void SaveToFile(const std::string& path) const;

  // How the file's bytes reach the disk; tests put a failing writer here.
  FileWriter Writer = WriteWholeFile;

 private:
  framework::Bitmap bitmap_;
};

}  // namespace output
