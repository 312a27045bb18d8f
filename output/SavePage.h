// Saving the current page as a BMP file: the component copies the page image
// to the clipboard, the picture holder takes a copy of it and writes the file.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Controls.h"
#include "imaging/TMiDocView.h"
#include "output/Picture.h"

namespace output {

// Selects the view's current page and asks for the file in `dialog` over
// `owner`. False when the user cancels, with the selection cleared again.
bool ChoosePageFile(imaging::TMiDocView& view, HWND owner, framework::TFileDialog& dialog);

// Has the component copy the selected page's image to the clipboard and
// writes that image, through `image`, as a BMP file at `path`. The page stays
// selected; the clipboard keeps the image.
void SaveSelectedPage(imaging::TMiDocView& view, HWND owner, TImage& image,
                      const std::string& path);

}  // namespace output
