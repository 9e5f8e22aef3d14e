#pragma once

#include <cstddef>
#include <future>
#include <system_error>

// Work over many samples in two halves, the second one on a thread of its
// own, for a pass over millions of readings that each half can take alone
// and whose two results are then joined. Where the halves lie depends on the
// count alone, never on the machine or on whether the thread started, so a
// result that depends on the split (a sum's rounding) is the same on every
// run. Below SplitFrom samples there is one part, [0, n).
namespace Halves {

inline constexpr size_t SplitFrom = size_t(1) << 18;

// The parts of [0, n): 1 or 2.
constexpr int parts(size_t n)
{
    return n >= SplitFrom ? 2 : 1;
}

// Where part k of [0, n) begins (part parts(n) begins at n).
constexpr size_t begin(size_t n, int k)
{
    return k <= 0 ? 0 : (k >= parts(n) ? n : n / 2);
}

// Calls part(0) in this thread and part(1) on a thread of its own (here too
// when none can be started, after part(0)), and returns once both are done.
// An exception of either part reaches the caller.
template<typename F>
void both(F &&part)
{
    std::future<void> second;
    try {
        second = std::async(std::launch::async, [&] { part(1); });
    } catch (const std::system_error &) {
        part(0);
        part(1);
        return;
    }
    part(0);
    second.get();
}

// Calls part(k, begin, end) for each part of [0, n), as both() does.
template<typename F>
void run(size_t n, F &&part)
{
    if (parts(n) == 1) {
        part(0, size_t(0), n);
        return;
    }
    const size_t middle = begin(n, 1);
    both([&](int k) { k == 0 ? part(0, size_t(0), middle) : part(1, middle, n); });
}

} // namespace Halves
