// Run-time options of the sanitizers, built into every test program so that a
// program started by hand checks exactly as CTest does. The environment
// (ASAN_OPTIONS, LSAN_OPTIONS, ...) still overrides them.

#if defined(TESSARY_ASAN)
// Globals of one file read by the initialisers of another would only work by
// luck of the link order. Allocation stacks come from the fast unwinder: the
// slow one costs most of a sanitized run. Our code keeps its frame pointers,
// so a leak of ours shows our frames; a stack stops at the first Qt frame,
// which the suppressions name. The X11 runs need the slow one (see
// tests/CMakeLists.txt).
extern "C" const char* __asan_default_options()
{
    return "check_initialization_order=1:strict_init_order=1";
}

extern "C" const char* __lsan_default_options()
{
    return "suppressions=\"" TESSARY_LSAN_SUPPRESSIONS "\":print_suppressions=0";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1";
}
#endif

#if defined(TESSARY_TSAN)
// Qt, OpenCV and the C++ runtime are not built with the sanitizer, so their
// own hand-overs (queued signal events, QThread reporting its end to wait(),
// QtTest's watchdog) go through locks it cannot see. Memory touched by calls
// from those libraries is therefore not checked; our code still is, and
// every lock taken through the C library still orders accesses.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
#endif
