// A library for the loader test: one function and one variable.
extern "C" {
__attribute__((visibility("default"))) int quorvane_test_add(int a, int b) { return a + b; }
__attribute__((visibility("default"))) int quorvane_test_counter = 41;
}
