#include "core/data/AlarmLimits.h"

#include "core/data/DateTimeText.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace KineticTemperature {

namespace {
constexpr double ZeroCelsius = 273.15;
constexpr float OutOfRange = 3000.0f;
} // namespace

bool isValidActivationEnergy(double kiloJoulePerMole)
{
    return std::isfinite(kiloJoulePerMole) && kiloJoulePerMole > 0.0 && kiloJoulePerMole <= 10000.0;
}

double toKelvin(double reading, TemperatureUnit unit)
{
    const double celsius = unit == TemperatureUnit::Fahrenheit ? (reading - 32.0) * 5.0 / 9.0 : reading;
    return celsius + ZeroCelsius;
}

double fromKelvin(double kelvin, TemperatureUnit unit)
{
    const double celsius = kelvin - ZeroCelsius;
    return unit == TemperatureUnit::Fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

namespace {

bool counts(float v)
{
    return v > -OutOfRange && v < OutOfRange;
}

// The exponential terms exp(dH/(R T_hottest) - dH/(R T)) of readings: every
// term is taken relative to the hottest reading's, so any sum of n of them
// lies in (0, n] whatever the temperatures. The meter resolves tenths, so a
// long set holds few distinct readings: each one's term is kept in a small
// table instead of taken again.
class Terms
{
public:
    Terms(std::span<const float> y, TemperatureUnit unit, double activationEnergy)
        : m_unit(unit)
        , m_ratio(activationEnergy * 1000.0 / GasConstant)
        , m_slots(4096)
    {
        // The hottest reading's kelvin: the conversion keeps the order of
        // the readings, so it is that of the highest one, converted once.
        bool any = false;
        float highest = -OutOfRange;
        for (const float v : y) {
            if (counts(v)) {
                any = true;
                highest = std::max(highest, v);
            }
        }
        const double hottest = any ? std::max(0.0, toKelvin(double(highest), unit)) : 0.0;
        m_top = hottest > 0.0 ? m_ratio / hottest : 0.0;
    }

    bool any() const { return m_top > 0.0; }
    // The term of a reading; -1 for one that does not count (a marker, or at
    // or below absolute zero). A counted term may underflow to 0.
    Q_ALWAYS_INLINE double operator()(float v)
    {
        Slot &slot = slotOf(v);
        if (slot.reading != v) [[unlikely]]
            fill(slot, v);
        return slot.term;
    }
    // The term kept for a reading that counts, or null when its slot holds
    // another one (then fill(v) keeps it).
    Q_ALWAYS_INLINE const double *kept(float v)
    {
        const Slot &slot = slotOf(v);
        return slot.reading == v ? &slot.term : nullptr;
    }
    void fill(float v) { fill(slotOf(v), v); }
    // The temperature of a mean term.
    double temperature(double meanTerm) const { return fromKelvin(m_ratio / (m_top - std::log(meanTerm)), m_unit); }

private:
    struct Slot
    {
        float reading = std::numeric_limits<float>::quiet_NaN();   // equal to no reading
        double term = 0.0;
    };
    Q_ALWAYS_INLINE Slot &slotOf(float v) { return m_slots[(std::bit_cast<quint32>(v) * 2654435761u) >> 20]; }
    // Out of line: the loops taking terms meet a new reading rarely and keep
    // their sums in registers.
    // A reading that does not count keeps -1 in its slot like one at or
    // below absolute zero, so a loop asks the table alone.
    Q_NEVER_INLINE void fill(Slot &slot, float v) const
    {
        const double kelvin = counts(v) ? toKelvin(double(v), m_unit) : 0.0;
        slot = {v, kelvin > 0.0 ? std::exp(m_top - m_ratio / kelvin) : -1.0};
    }
    TemperatureUnit m_unit;
    double m_ratio;
    double m_top = 0.0;
    std::vector<Slot> m_slots;
};

// Adds the terms of the readings from i on to sum and their count to n, up
// to the end or to the first reading whose term is not kept; returns where
// it stopped. Out of line and with no call inside, so that the sum stays in
// a register.
Q_NEVER_INLINE size_t sumWhileKept(std::span<const float> y, size_t i, Terms &terms, double &sum, qint64 &n)
{
    double s = sum;
    qint64 k = n;
    for (; i < y.size(); ++i) {
        const float v = y[i];
        if (!counts(v))
            continue;
        const double *term = terms.kept(v);
        if (!term)
            break;
        if (*term >= 0.0) {
            s += *term;
            ++k;
        }
    }
    sum = s;
    n = k;
    return i;
}

} // namespace

std::optional<double> compute(std::span<const float> y, TemperatureUnit unit, double activationEnergy)
{
    if (!isValidActivationEnergy(activationEnergy))
        return std::nullopt;
    Terms terms(y, unit, activationEnergy);
    if (!terms.any())
        return std::nullopt;
    qint64 n = 0;
    double sum = 0.0;
    size_t i = 0;
    while ((i = sumWhileKept(y, i, terms, sum, n)) < y.size())
        terms.fill(y[i]);
    if (n == 0)
        return std::nullopt;
    return terms.temperature(sum / double(n));
}

QString windowText(const WindowMkt &w, const QString &unitSuffix, const QString &windowName,
                   const DateTimeText &texts)
{
    if (w.tooShort)
        return QStringLiteral("run shorter than ") + windowName;
    if (!w.mkt)
        return QStringLiteral("****");
    return texts.oneDecimal(*w.mkt) + unitSuffix + QStringLiteral(" from ") + texts.dateTime(w.start);
}

namespace {

// llround(days * 86400): whole seconds, rounded half away from zero, without
// the library call below 2^52 (where the truncation and the fraction are exact).
qint64 wholeSeconds(double days)
{
    const double v = days * 86400.0;
    if (!(std::fabs(v) < 4.0e15))
        return qint64(std::llround(v));
    qint64 k = qint64(v);
    const double fraction = v - double(k);
    if (fraction >= 0.5)
        ++k;
    else if (fraction <= -0.5)
        --k;
    return k;
}

// The samples of a run one after another, each with its time in whole
// seconds, when its interval ends, its counted weight (its interval) and its
// term times that weight, kept from the oldest one a window still holds to
// the newest one read: a window's span, not the run. Samples are read ahead
// in batches, so the windows' loops find them ready; each field has an array
// of its own, a power of two long.
class SampleRing
{
public:
    SampleRing(std::span<const double> x, std::span<const float> y, qint64 intervalSeconds, Terms &terms)
        : m_x(x), m_y(y), m_interval(intervalSeconds), m_terms(terms)
    {
        resize(4096);
        m_nextT = wholeSeconds(x[0]);
    }

    size_t read() const { return m_read; }
    // Reads sample k (k < the run's samples) and a batch after it; the
    // arrays may move.
    void readThrough(size_t k)
    {
        const size_t end = std::min(m_x.size(), std::max(k + 1, m_read + Batch));
        if (end - m_oldest > m_mask + 1) {
            size_t size = m_mask + 1;
            while (end - m_oldest > size)
                size *= 2;
            resize(size);
        }
        // Locals, so that the stores into the arrays leave them in registers.
        qint64 *times = m_t.data();
        qint64 *reach = m_reach.data();
        qint64 *counted = m_counted.data();
        double *product = m_product.data();
        const size_t mask = m_mask;
        const size_t last = m_x.size() - 1;
        const qint64 lastWeight = std::max<qint64>(m_interval, 0);
        qint64 next = m_nextT;
        for (size_t i = m_read; i < end; ++i) {
            const size_t at = i & mask;
            const qint64 t = next;
            qint64 weight = lastWeight;
            if (i < last) {
                next = wholeSeconds(m_x[i + 1]);
                weight = std::max<qint64>(next - t, 0);
            }
            // A reading that does not count adds zero to the sums: exactly
            // what leaving it out does, as no sum is ever -0.
            const double term = m_terms(m_y[i]);
            times[at] = t;
            reach[at] = t + weight;
            counted[at] = term >= 0.0 ? weight : 0;
            product[at] = term >= 0.0 ? term * double(weight) : 0.0;
        }
        m_nextT = next;
        m_read = end;
    }
    // Samples before k are not asked for again.
    void dropBefore(size_t k) { m_oldest = k; }

    size_t mask() const { return m_mask; }
    const qint64 *t() const { return m_t.data(); }
    const qint64 *reach() const { return m_reach.data(); }
    const qint64 *counted() const { return m_counted.data(); }
    const double *product() const { return m_product.data(); }

private:
    static constexpr size_t Batch = 1024;

    template<typename T> static void move(std::vector<T> &v, size_t size, size_t from, size_t to, size_t oldMask)
    {
        std::vector<T> larger(size);
        for (size_t i = from; i < to; ++i)
            larger[i & (size - 1)] = v[i & oldMask];
        v = std::move(larger);
    }
    void resize(size_t size)
    {
        move(m_t, size, m_oldest, m_read, m_mask);
        move(m_reach, size, m_oldest, m_read, m_mask);
        move(m_counted, size, m_oldest, m_read, m_mask);
        move(m_product, size, m_oldest, m_read, m_mask);
        m_mask = size - 1;
    }

    std::span<const double> m_x;
    std::span<const float> m_y;
    qint64 m_interval;
    Terms &m_terms;
    std::vector<qint64> m_t;
    std::vector<qint64> m_reach;     // t + weight
    std::vector<qint64> m_counted;   // the weight when the reading counts, else 0
    std::vector<double> m_product;   // term x weight when the reading counts, else 0
    size_t m_mask = 0;
    size_t m_read = 0;
    size_t m_oldest = 0;
    qint64 m_nextT = 0;
};

// One window's rolling sum: samples [i, j) are its window from the time of
// sample i, the sums hold the counted ones.
struct Window
{
    qint64 seconds = 0;
    WindowMkt *result = nullptr;
    bool open = true;
    size_t j = 0;
    double sum = 0.0;
    qint64 weights = 0;
    double best = -1.0;
    // Below best x (1 - 1e-9): a mean whose sum falls under this x the
    // weights cannot exceed best, so the division is spared.
    double bound = -std::numeric_limits<double>::infinity();
    double start = 0.0;   // time of the best window's first sample, 0 before one
};

// The ring's arrays as a window's loop reads them, taken again whenever the
// ring reads on (its arrays may move).
struct RingView
{
    explicit RingView(SampleRing &ring) : samples(ring) { refresh(); }
    void readThrough(size_t k)
    {
        if (k >= samples.read())
            samples.readThrough(k);
        refresh();
    }
    void refresh()
    {
        read = samples.read();
        mask = samples.mask();
        t = samples.t();
        reach = samples.reach();
        counted = samples.counted();
        product = samples.product();
    }

    SampleRing &samples;
    size_t read = 0;
    size_t mask = 0;
    const qint64 *t = nullptr;
    const qint64 *reach = nullptr;
    const qint64 *counted = nullptr;
    const double *product = nullptr;
};

// Window win from sample i on; false once it is closed. runEnd is where the
// run's last interval ends. Inlined into the loops below, so that the
// window's state stays in registers.
Q_ALWAYS_INLINE bool step(Window &win, size_t i, RingView &ring, size_t n, qint64 runEnd,
                          std::span<const double> x)
{
    if (!win.open)
        return false;
    const qint64 end = ring.t[i & ring.mask] + win.seconds;
    // A window ends the first time one no longer fits before the end.
    if (end > runEnd) {
        win.open = false;
        return false;
    }
    if (win.j < i)
        win.j = i;
    // The ring never reads past the run, so one comparison guards both.
    while (true) {
        if (win.j >= ring.read) [[unlikely]] {
            if (win.j >= n)
                break;
            ring.readThrough(win.j);
        }
        const size_t at = win.j & ring.mask;
        if (ring.reach[at] > end)
            break;
        win.sum += ring.product[at];
        win.weights += ring.counted[at];
        ++win.j;
    }
    if (win.weights > 0 && win.sum > win.bound * double(win.weights) && win.sum / double(win.weights) > win.best) {
        win.best = win.sum / double(win.weights);
        win.bound = win.best > 0.0 ? win.best * (1.0 - 1e-9) : -std::numeric_limits<double>::infinity();
        win.start = x[i];
    }
    if (win.j > i) {
        win.sum -= ring.product[i & ring.mask];
        win.weights -= ring.counted[i & ring.mask];
        // The rolling sum may drift below zero by rounding once empty.
        if (win.weights == 0)
            win.sum = 0.0;
    }
    return true;
}

// Windows a and, if given, b from each sample of [i0, i1) on, their state
// copied to local variables for the loop: a sum kept in memory would wait on
// its own store at every sample.
void stepBlock(Window *windowA, Window *windowB, size_t i0, size_t i1, size_t n, qint64 runEnd,
               SampleRing &samples, std::span<const double> x)
{
    RingView ring(samples);
    ring.readThrough(i0);
    Window a = *windowA;
    if (windowB) {
        Window b = *windowB;
        for (size_t i = i0; i < i1; ++i) {
            if (i >= ring.read) [[unlikely]]
                ring.readThrough(i);
            const bool openA = step(a, i, ring, n, runEnd, x);
            const bool openB = step(b, i, ring, n, runEnd, x);
            if (!openA && !openB)
                break;
        }
        *windowB = b;
    } else {
        for (size_t i = i0; i < i1; ++i) {
            if (i >= ring.read) [[unlikely]]
                ring.readThrough(i);
            if (!step(a, i, ring, n, runEnd, x))
                break;
        }
    }
    *windowA = a;
}

} // namespace

std::vector<WindowMkt> worstWindows(std::span<const double> x, std::span<const float> y, TemperatureUnit unit,
                                    double activationEnergy, qint64 intervalSeconds,
                                    std::initializer_list<qint64> windowSeconds)
{
    std::vector<WindowMkt> out(windowSeconds.size());
    const size_t n = std::min(x.size(), y.size());
    if (n == 0)
        return out;
    x = x.first(n);
    y = y.first(n);
    // Whole seconds, so that a run at a steady interval fills a window exactly.
    const qint64 first = wholeSeconds(x[0]);
    const qint64 last = wholeSeconds(x[n - 1]);
    const qint64 runEnd = last + std::max<qint64>(intervalSeconds, 0);
    // Every window is told whether the run covers it, whether or not any
    // reading counts.
    bool any = false;
    size_t w = 0;
    for (const qint64 window : windowSeconds) {
        out[w].tooShort = window <= 0 || runEnd - first < window;
        any = any || !out[w].tooShort;
        ++w;
    }
    if (!any || !isValidActivationEnergy(activationEnergy))
        return out;
    Terms terms(y, unit, activationEnergy);
    if (!terms.any())
        return out;

    std::vector<Window> windows;
    w = 0;
    for (const qint64 window : windowSeconds) {
        if (!out[w].tooShort)
            windows.push_back({window, &out[w]});
        ++w;
    }
    // Each window's sums see the samples in the same order whatever the
    // others do, so the windows take a block of samples in turn, two at a
    // time.
    SampleRing samples(x, y, intervalSeconds, terms);
    constexpr size_t Block = 2048;
    for (size_t i0 = 0; i0 < n; i0 += Block) {
        const size_t i1 = std::min(n, i0 + Block);
        size_t k = 0;
        for (; k + 1 < windows.size(); k += 2)
            stepBlock(&windows[k], &windows[k + 1], i0, i1, n, runEnd, samples, x);
        if (k < windows.size())
            stepBlock(&windows[k], nullptr, i0, i1, n, runEnd, samples, x);
        if (std::none_of(windows.begin(), windows.end(), [](const Window &win) { return win.open; }))
            break;
        samples.dropBefore(i1);
    }
    for (const Window &win : windows) {
        win.result->start = win.start;
        if (win.best > 0.0)
            win.result->mkt = terms.temperature(win.best);
    }
    return out;
}

} // namespace KineticTemperature
