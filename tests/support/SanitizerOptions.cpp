// Defaults for the sanitizers in every test program of the sanitizer build (ASAN_OPTIONS adds to
// them and wins where both name a flag).
//
// intercept_tls_get_addr=0: with it on, the leak check records every thread's dynamic TLS blocks
// (the thread_local variables of dlopen'd libraries: libtorch, oneDNN, OpenBLAS) and guesses each
// block's extent. The guess GCC 12's runtime makes takes any block that starts 16 bytes past a
// page boundary for a block carrying glibc's old header and reads that header: under ASan the 16
// bytes before a block are ASan's own chunk header, so it scans a made-up range and its tracer
// dies of SIGSEGV at exit ("Tracer caught signal 11"). Which blocks land there depends on the
// heap's history, so a test failed at random, most often one whose pool threads were still alive
// at exit. Off, the blocks are found as what they are, heap memory that the thread's
// DTV points to, and nothing is lost to the leak check.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
