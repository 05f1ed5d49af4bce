#pragma once
// Test helper: a small shared library that the run-time library tests load by name. Both
// linkers export every function of it by default.
extern "C" {
int vlt_sample_add(int a, int b);
const char* vlt_sample_name();
}
