#include "HeapCounter.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <malloc.h>

extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);
void *__libc_memalign(std::size_t, std::size_t);
void __libc_free(void *);
}

namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void *Added(void *p)
{
    if (p) {
        const std::size_t now = live.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p);
        std::size_t old = peak.load(std::memory_order_relaxed);
        while (now > old && !peak.compare_exchange_weak(old, now, std::memory_order_relaxed)) {
        }
    }
    return p;
}

void Removed(void *p)
{
    if (p)
        live.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
}

} // namespace

namespace HeapCounter {
std::size_t Live()
{
    return live.load();
}
std::size_t Peak()
{
    return peak.load();
}
void ResetPeak()
{
    peak.store(live.load());
}
}

extern "C" {

void *malloc(std::size_t n)
{
    return Added(__libc_malloc(n));
}
void *calloc(std::size_t n, std::size_t size)
{
    return Added(__libc_calloc(n, size));
}
void free(void *p)
{
    Removed(p);
    __libc_free(p);
}
void *realloc(void *p, std::size_t n)
{
    Removed(p);
    void *q = __libc_realloc(p, n);
    if (!q && p && n != 0)
        Added(p); // the old block stays
    return Added(q);
}
void *memalign(std::size_t alignment, std::size_t n)
{
    return Added(__libc_memalign(alignment, n));
}
void *aligned_alloc(std::size_t alignment, std::size_t n)
{
    return Added(__libc_memalign(alignment, n));
}
int posix_memalign(void **out, std::size_t alignment, std::size_t n)
{
    void *p = Added(__libc_memalign(alignment, n));
    if (!p)
        return ENOMEM;
    *out = p;
    return 0;
}
void *valloc(std::size_t n)
{
    return Added(__libc_memalign(4096, n));
}
void *pvalloc(std::size_t n)
{
    return Added(__libc_memalign(4096, (n + 4095) & ~std::size_t(4095)));
}
}
