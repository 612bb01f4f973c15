// Qt is not built with ThreadSanitizer: what libQt6Core does under its own futex-based locks (the
// posted-event list, string buffers) looks unguarded to it. Only calls made from inside that
// library are let through; everything our code does stays checked. Unused in other builds.
extern "C" const char* __tsan_default_suppressions();

extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n";
}
