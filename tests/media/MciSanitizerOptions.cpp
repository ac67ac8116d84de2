// GLib and GStreamer are not built with ThreadSanitizer: their threads hand
// memory over through atomics it cannot see, so what they do through the C
// library would be reported as races among themselves. Calls from modules
// that are not instrumented are left out; our own code stays checked.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
