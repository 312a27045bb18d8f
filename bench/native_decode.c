/* The floor for a page flip: a page decoded natively by libtiff, every strip or tile of it,
 * timed over repetitions. Prints the median in milliseconds. YCbCr JPEG comes out as RGB, as
 * the component asks for it. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <tiffio.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

static int compare(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

static int decode(TIFF* tiff, void* buffer, tmsize_t size) {
  int tiled = TIFFIsTiled(tiff);
  uint32_t chunks = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  for (uint32_t i = 0; i < chunks; ++i) {
    tmsize_t got = tiled ? TIFFReadEncodedTile(tiff, i, buffer, size)
                         : TIFFReadEncodedStrip(tiff, i, buffer, size);
    if (got < 0) return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  enum { kRuns = 31 };
  double times[kRuns];
  if (argc != 2) {
    fprintf(stderr, "usage: native_decode PAGE.tif\n");
    return 2;
  }
  TIFF* tiff = TIFFOpen(argv[1], "r");
  if (!tiff) return 1;
  uint16_t photometric = 0, compression = 0;
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
  if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  tmsize_t size = TIFFIsTiled(tiff) ? TIFFTileSize(tiff) : TIFFStripSize(tiff);
  void* buffer = malloc((size_t)size);
  if (!buffer) return 1;
  for (int i = 0; i < kRuns; ++i) {
    double start = now_ms();
    if (!decode(tiff, buffer, size)) return 1;
    times[i] = now_ms() - start;
  }
  qsort(times, kRuns, sizeof times[0], compare);
  printf("%.3f\n", times[kRuns / 2]);
  free(buffer);
  TIFFClose(tiff);
  return 0;
}
