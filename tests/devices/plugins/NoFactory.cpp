// A module that exports none of the factories.
extern "C" __attribute__((visibility("default"))) int ZEP3TestNothingHere() { return 0; }
