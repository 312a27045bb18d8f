/* The floor for a page flip: the same page decoded natively by libtiff, timed
 * over repetitions. Prints the median in milliseconds. */
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

int main(int argc, char** argv) {
  enum { kRuns = 51 };
  double times[kRuns];
  if (argc != 2) {
    fprintf(stderr, "usage: native_decode PAGE.tif\n");
    return 2;
  }
  TIFF* tiff = TIFFOpen(argv[1], "r");
  if (!tiff) return 1;
  tmsize_t size = TIFFStripSize(tiff);
  void* buffer = malloc((size_t)size);
  if (!buffer) return 1;
  for (int i = 0; i < kRuns; ++i) {
    double start = now_ms();
    if (TIFFReadEncodedStrip(tiff, 0, buffer, size) < 0) return 1;
    times[i] = now_ms() - start;
  }
  qsort(times, kRuns, sizeof times[0], compare);
  printf("%.3f\n", times[kRuns / 2]);
  free(buffer);
  TIFFClose(tiff);
  return 0;
}
