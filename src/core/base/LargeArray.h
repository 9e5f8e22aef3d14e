#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

// Asks the system to back the whole 2 MiB blocks inside [data, data + bytes)
// with huge pages, for an array of many megabytes that nothing has touched
// yet and that is filled right after. The system hands out fresh memory one
// page fault at a time, 4 KiB each, and on a virtual machine each fault costs
// more than clearing its page: a full data set's times and readings (some
// 67 MB) took longer to fault in than to compute with. Where the system
// offers huge pages on request (Linux, "madvise"), one fault serves a block.
// Only a hint: without it the memory is as it was.
inline void adviseHugePages(void *data, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t Huge = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t last = (begin + bytes) & ~(Huge - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

// Room for n entries in an empty vector, its fresh storage advised as
// above before anything touches it.
template<typename T>
void reserveLarge(std::vector<T> &v, size_t n)
{
    const bool fresh = v.capacity() == 0;
    v.reserve(n);
    if (fresh)
        adviseHugePages(v.data(), v.capacity() * sizeof(T));
}
