// The page's image: stored CCITT G4 and JPEG strips as PDF's own filters read them, other pages
// as their decoded pixels, and a placeholder for a page that cannot be decoded.
#pragma once

#include <qpdf/Pipeline.hh>

#include <cstdint>
#include <string>
#include <vector>

#include "document/PageReader.h"

namespace convert::pdf {

enum class Carry { Ccitt, Jpeg, Pixels, Placeholder };

struct Strip {
  uint32_t firstRow = 0;
  uint32_t rows = 0;
  mdi::DataChunk chunk;
};

// Whether PDF's own filters read the stored strips as they are, each strip its own image (then
// `strips` has them); all as libtiff reads the page's directory.
Carry howToCarry(const mdi::Document& document, const mdi::PageReader& reader,
                 std::vector<Strip>& strips);

// The placeholder of a page whose image cannot be decoded, in a few operators: a frame and its
// diagonals, whatever the page's size.
std::string placeholderDrawing(double width, double height);

// A decoded page's rows as a PDF image takes them: whole bytes, no padding; black and white
// with a set bit for black (the image says /Decode [1 0]), colour in red-green-blue order.
void putRows(Pipeline& out, const mdi::PageImage& image);

// The rows of a page whose data failed while it was decoded, after its image was promised:
// blank, written a row at a time.
void putBlankRows(Pipeline& out, uint32_t width, uint32_t height, int depth);

// A palette page's colour table as /Indexed takes it: red, green, blue for each entry.
std::vector<uint8_t> rgbTable(const std::vector<uint8_t>& colours);

}  // namespace convert::pdf
