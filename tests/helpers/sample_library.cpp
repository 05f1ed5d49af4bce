#include "tests/helpers/sample_library.h"

extern "C" {
int vlt_sample_add(int a, int b) {
  return a + b;
}
const char* vlt_sample_name() {
  return "sample";
}
}
