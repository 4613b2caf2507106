// The web engine's own code trips two sanitizer checks that say nothing about ours: a sized
// delete of a mismatched type inside the engine, and allocations it and the font library keep
// for the life of the process.
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore\n"
           "leak:libfontconfig\n";
}
