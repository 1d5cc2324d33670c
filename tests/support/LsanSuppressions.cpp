// SDL's video and audio start connect to D-Bus, whose library keeps its connection's memory until
// the process ends; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
