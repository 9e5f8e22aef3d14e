#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

// Room for n entries in an empty vector, for an array of many megabytes
// filled right after. The system hands out fresh memory one page fault at a
// time, 4 KiB each, and on a virtual machine each fault costs more than
// clearing its page: a data set's times and readings (some 67 MB for a full
// logger) took longer to fault in than to compute with. Where the system
// offers huge pages on request (Linux, "madvise"), the whole 2 MiB blocks
// inside the array are asked for as such before anything touches them: one
// fault per block. Only a hint: without it the array is as it was.
template<typename T>
void reserveLarge(std::vector<T> &v, size_t n)
{
    v.reserve(n);
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t Huge = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(v.data());
    const std::uintptr_t end = begin + v.capacity() * sizeof(T);
    const std::uintptr_t first = (begin + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t last = end & ~(Huge - 1);
    // Untouched: the vector was empty, its new storage holds nothing yet.
    if (v.empty() && last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#endif
}
