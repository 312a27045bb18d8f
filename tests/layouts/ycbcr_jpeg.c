/* Writes an 8-bit RGB TIFF as YCbCr JPEG with the chroma subsampling asked for, which neither
 * tiffcp (always 2 x 2) nor ImageMagick (RGB photometric) offers. Built natively against
 * Debian's libtiff by make_pages.sh.
 *   ycbcr_jpeg IN.tif OUT.tif H V [TILE] */
#include <stdio.h>
#include <stdlib.h>
#include <tiffio.h>

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: ycbcr_jpeg IN.tif OUT.tif H V [TILE]\n");
    return 2;
  }
  TIFF* in = TIFFOpen(argv[1], "r");
  TIFF* out = TIFFOpen(argv[2], "w");
  if (!in || !out) return 1;
  uint32_t width = 0, height = 0;
  TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(in, TIFFTAG_IMAGELENGTH, &height);
  uint32_t tile = argc > 5 ? (uint32_t)atoi(argv[5]) : 0;
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
  TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, (uint16_t)atoi(argv[3]), (uint16_t)atoi(argv[4]));
  TIFFSetField(out, TIFFTAG_JPEGQUALITY, 90);
  TIFFSetField(out, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  unsigned char* rgb = malloc((size_t)width * height * 3);
  if (!rgb) return 1;
  for (uint32_t y = 0; y < height; ++y)
    if (TIFFReadScanline(in, rgb + (size_t)y * width * 3, y, 0) < 0) return 1;
  if (tile) {
    TIFFSetField(out, TIFFTAG_TILEWIDTH, tile);
    TIFFSetField(out, TIFFTAG_TILELENGTH, tile);
    unsigned char* buffer = calloc((size_t)tile * tile, 3);
    if (!buffer) return 1;
    for (uint32_t ty = 0; ty < height; ty += tile)
      for (uint32_t tx = 0; tx < width; tx += tile) {
        for (uint32_t r = 0; r < tile; ++r)
          for (uint32_t c = 0; c < tile; ++c)
            for (int s = 0; s < 3; ++s) {
              uint32_t x = tx + c < width ? tx + c : width - 1;
              uint32_t y = ty + r < height ? ty + r : height - 1;
              buffer[((size_t)r * tile + c) * 3 + s] = rgb[((size_t)y * width + x) * 3 + s];
            }
        if (TIFFWriteTile(out, buffer, tx, ty, 0, 0) < 0) return 1;
      }
    free(buffer);
  } else {
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, 32);
    for (uint32_t y = 0; y < height; ++y)
      if (TIFFWriteScanline(out, rgb + (size_t)y * width * 3, y, 0) < 0) return 1;
  }
  free(rgb);
  TIFFClose(in);
  TIFFClose(out);
  return 0;
}
