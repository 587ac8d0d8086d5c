// A library named like the decoder but without its export.
extern "C" __attribute__((visibility("default"))) int something_else() { return 0; }
