// Sanitizer settings for the media suite, which runs third-party libraries
// that are not built with the sanitizers.
//
// GLib and GStreamer are not built with ThreadSanitizer: their threads hand
// memory over through atomics it cannot see, so what they do through the C
// library would be reported as races among themselves. Calls from modules
// that are not instrumented are left out; our own code stays checked.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }

// SDL's X11 driver opens a D-Bus connection whose buffers libdbus keeps for
// the life of the process; that is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
