// Every test program runs on one single-threaded apartment, as the program does.
#include <gmock/gmock.h>
#include <ole2.h>

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
