#include "app/Icons.h"

#include <cstring>

namespace {

// Each icon is a 16 × 16 picture in characters; '.' is transparent.
const char* const kPictures[kMenuIconCount][16] = {
    {// Open: a folder with its lid up
     "................", "................", ".yyyy...........", "yYYYYy..........",
     "yYYYYyyyyyyy....", "yYYYYYYYYYYy....", "yYYYdddddddddd..", "yYYdYYYYYYYYYd..",
     "yYYdYYYYYYYYd...", "yYdYYYYYYYYYd...", "yYdYYYYYYYYd....", "ydYYYYYYYYYd....",
     "ydddddddddd.....", "................", "................", "................"},
    {// Print: a printer with a sheet
     "................", "....wwwwwwww....", "....wkkkkkkw....", "....wwwwwwww....",
     "....wkkkkkw.....", "..gggggggggggg..", ".gGGGGGGGGGGGGg.", ".gGGGGGGGGGGGGg.",
     ".gGGGGGGGGGGrGg.", ".gggggggggggggg.", ".gGGwwwwwwwwGGg.", "..gwwwwwwwwwwg..",
     "...wkkkkkkkkw...", "...wwwwwwwwww...", "................", "................"},
    {// Exit: a door with an arrow
     "................", ".bbbbbbbb.......", ".bBBBBBBb.......", ".bBBBBBBb.......",
     ".bBBBBBBb...r...", ".bBBBBBBb...rr..", ".bBBBBYBbrrrrrr.", ".bBBBBYBbrrrrrrr",
     ".bBBBBBBbrrrrrr.", ".bBBBBBBb...rr..", ".bBBBBBBb...r...", ".bBBBBBBb.......",
     ".bBBBBBBb.......", ".bbbbbbbb.......", "................", "................"},
    {// Save page: a diskette
     "................", ".nnnnnnnnnnnnn..", ".nNwwwwwwwwwNn..", ".nNwwwwwwwwwNn..",
     ".nNwkkkkkkkwNn..", ".nNwwwwwwwwwNn..", ".nNwkkkkkkkwNn..", ".nNNNNNNNNNNNn..",
     ".nNNggggggNNNn..", ".nNNgGGnnGgNNn..", ".nNNgGGnnGgNNn..", ".nNNgGGGGGgNNn..",
     ".nnnnnnnnnnnnn..", "................", "................", "................"},
    {// Zoom: a magnifying glass
     "................", "....kkkkk.......", "..kkwwwwwkk.....", "..kwwcccwwk.....",
     ".kwwcwwwwwwk....", ".kwcwwwwwwwk....", ".kwcwwwwwwwk....", ".kwwwwwwwwwk....",
     ".kwwwwwwwwwk....", "..kwwwwwwwk.....", "..kkwwwwwkkk....", "....kkkkk.kkk...",
     "...........kkk..", "............kkk.", ".............kk.", "................"},
};

DWORD Colour(char code) {
  switch (code) {
    case 'k':
      return 0xFF202020;  // outline
    case 'w':
      return 0xFFFFFFFF;
    case 'y':
      return 0xFFB08000;  // folder edge
    case 'Y':
      return 0xFFF8D048;  // folder
    case 'd':
      return 0xFF806000;
    case 'g':
      return 0xFF505050;  // printer body edge
    case 'G':
      return 0xFFB8B8B8;
    case 'r':
      return 0xFFD02020;  // red: lamp, arrow
    case 'b':
      return 0xFF603010;  // door frame
    case 'B':
      return 0xFFA06030;
    case 'n':
      return 0xFF102060;  // diskette edge
    case 'N':
      return 0xFF3050B0;
    case 'c':
      return 0xFF80C0F0;  // glint on the lens
  }
  return 0x00000000;
}

}  // namespace

std::vector<DWORD> MenuIcon(int index) {
  std::vector<DWORD> pixels(16 * 16, 0);
  if (index < 0 || index >= kMenuIconCount) return pixels;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16 && kPictures[index][y][x]; ++x)
      pixels[y * 16 + x] = Colour(kPictures[index][y][x]);
  return pixels;
}
