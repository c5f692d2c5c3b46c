// Anonymous memory aligned to huge pages.
#include "tool/cContentBuffer.h"

#include <new>
#include <sys/mman.h>

namespace {
constexpr size_t HUGE_PAGE = size_t(2) << 20;
}

cContentBuffer::cContentBuffer(size_t iSize) : iMapped(iSize + HUGE_PAGE) {
    pMapping = ::mmap(nullptr, iMapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMapping == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t iStart = (reinterpret_cast<uintptr_t>(pMapping) + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    pData = reinterpret_cast<uint8_t*>(iStart);
    // Only advice: without huge pages the memory works all the same.
    ::madvise(pData, iSize, MADV_HUGEPAGE);
}

cContentBuffer::~cContentBuffer() {
    ::munmap(pMapping, iMapped);
}
