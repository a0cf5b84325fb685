// Linked into the statically linked test programs of the cross build. GoogleTest can
// stream its results to a network address, which would pull the C library's name lookup
// into every static test program, with the linker's warning that it then needs the build
// machine's shared libraries at run time. The tests never stream, so lookups simply fail.
#include <netdb.h>

extern "C" int getaddrinfo(const char*, const char*, const addrinfo*, addrinfo** result) noexcept {
    *result = nullptr;
    return EAI_FAIL;
}

extern "C" void freeaddrinfo(addrinfo*) noexcept {}
