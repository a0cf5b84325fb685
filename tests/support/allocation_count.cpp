#include "tests/support/allocation_count.h"

#include <cstdlib>
#include <new>

namespace {

std::uint64_t allocations = 0;  // the program under test is single-threaded

}  // namespace

namespace skimbo::testing {

std::uint64_t allocation_count() { return allocations; }

}  // namespace skimbo::testing

void* operator new(std::size_t size) {
    ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }
