#include "support/heap_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> counting{false};
std::atomic<std::uint64_t> counted_bytes{0}, counted_allocations{0};
std::atomic<std::uint64_t> refused{UINT64_MAX};

}  // namespace

void* operator new(std::size_t size) {
    if (counting.load()) {
        if (counted_allocations.fetch_add(1) == refused.load()) throw std::bad_alloc();
        counted_bytes += size;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

namespace harrowtally::testing {

HeapCount::HeapCount() {
    counted_bytes = 0;
    counted_allocations = 0;
    refused = UINT64_MAX;
    counting = true;
}

HeapCount::~HeapCount() {
    counting = false;
    refused = UINT64_MAX;
}

std::uint64_t HeapCount::bytes() const {
    return counted_bytes.load();
}

std::uint64_t HeapCount::allocations() const {
    return counted_allocations.load();
}

void HeapCount::refuse(std::uint64_t n) {
    refused = n;
}

}  // namespace harrowtally::testing
