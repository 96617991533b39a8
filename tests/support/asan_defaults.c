// SPDX-License-Identifier: GPL-3.0-or-later
// Built into every program of an AddressSanitizer build (HALVIK_SANITIZE=address).
//
// GCC 12's sanitizer runtime intercepts __tls_get_addr to learn the dynamic TLS blocks of
// dlopen'ed libraries (Qt's plugins and what they load). It takes a block whose start lies 16
// bytes past a page boundary for one with a pre-2.25 glibc header and reads the two words before
// it as the block's range; since glibc 2.25 there is no such header, so when malloc happens to
// place a block there, LeakSanitizer's tracer scans a made-up range at exit and dies of SIGSEGV
// ("Tracer caught signal 11"), after every test passed. Where malloc puts the block depends on
// the machine (environment size, libraries, paths), so the crash came and went between machines.
// With the interception off, leak checking still runs: dynamic TLS blocks are ordinary heap
// blocks reachable from the thread's TLS vector, which LeakSanitizer scans.
__attribute__((visibility("default"), used)) const char* __asan_default_options(void) {
    return "intercept_tls_get_addr=0";
}
