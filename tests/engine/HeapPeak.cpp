#include "HeapPeak.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace tandrel {

namespace {

// Bytes held through operator new, and the most held since a HeapPeak was made.
std::atomic<int64_t> g_held{0};
std::atomic<int64_t> g_peak{0};

void* Take(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const int64_t held =
        g_held.fetch_add(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed) +
        static_cast<int64_t>(malloc_usable_size(p));
    int64_t peak = g_peak.load(std::memory_order_relaxed);
    while (held > peak && !g_peak.compare_exchange_weak(peak, held, std::memory_order_relaxed)) {
    }
    return p;
}

void Give(void* p) noexcept {
    if (p != nullptr) {
        g_held.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
        std::free(p);
    }
}

}  // namespace

HeapPeak::HeapPeak() : m_start(g_held.load()) {
    g_peak.store(m_start);
}

HeapPeak::~HeapPeak() = default;

int64_t HeapPeak::Bytes() const {
    return g_peak.load() - m_start;
}

}  // namespace tandrel

void* operator new(std::size_t size) {
    return tandrel::Take(size);
}
void* operator new[](std::size_t size) {
    return tandrel::Take(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return tandrel::Take(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return tandrel::Take(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    tandrel::Give(p);
}
void operator delete[](void* p) noexcept {
    tandrel::Give(p);
}
void operator delete(void* p, std::size_t) noexcept {
    tandrel::Give(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    tandrel::Give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    tandrel::Give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    tandrel::Give(p);
}
