// AddressSanitizer's defaults for the window tests (read before main; ASAN_OPTIONS still adds to
// and overrides them).
//
// Qt's web engine (Chromium) deletes some of its own objects through a pointer to a type of
// another size, and AddressSanitizer stops the process there, inside the web engine's library.
// That check cannot be limited to one library, so it is off for this program only; every other
// test program keeps it.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
#endif
