#include "planes.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Asks for huge pages behind a large plane where the kernel offers them on
// request: the first touch of a 24-megapixel picture's planes then costs a
// few hundred page faults instead of some 30000. Only a hint; nothing
// depends on it.
static void preferHugePages(std::uint8_t* start, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const std::uintptr_t page = 4096;
    std::uintptr_t first = (std::uintptr_t(start) + page - 1) & ~(page - 1);
    std::uintptr_t end = (std::uintptr_t(start) + size) & ~(page - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)start, (void)size;
#endif
}

bool allocatePlane(Plane& plane, std::int32_t width, std::int32_t height) {
    plane.width = width;
    plane.height = height;
    plane.samples.reset(new (std::nothrow) std::uint8_t[plane.size()]);
    if (plane.samples == nullptr) return false;
    preferHugePages(plane.samples.get(), plane.size());
    return true;
}
