#include "core/data/AlarmLimits.h"

#include "core/base/Halves.h"
#include "core/base/LargeArray.h"
#include "core/data/DateTimeText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
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
    // The term of a reading in whole units of 2^-TermBits, as the windows
    // sum it; -1 for one that does not count.
    Q_ALWAYS_INLINE qint64 fixed(float v)
    {
        Slot &slot = slotOf(v);
        if (slot.reading != v) [[unlikely]]
            fill(slot, v);
        return slot.fixed;
    }
    // The temperature of a mean term.
    double temperature(double meanTerm) const { return fromKelvin(m_ratio / (m_top - std::log(meanTerm)), m_unit); }

    static constexpr int TermBits = 40;

private:
    struct Slot
    {
        float reading = std::numeric_limits<float>::quiet_NaN();   // equal to no reading
        double term = 0.0;
        qint64 fixed = -1;
    };
    Q_ALWAYS_INLINE Slot &slotOf(float v) { return m_slots[(std::bit_cast<quint32>(v) * 2654435761u) >> 20]; }
    // Out of line: the loops taking terms meet a new reading rarely and keep
    // their sums in registers.
    // A reading that does not count keeps -1 in its slot like one at or
    // below absolute zero, so a loop asks the table alone.
    Q_NEVER_INLINE void fill(Slot &slot, float v) const
    {
        const double kelvin = counts(v) ? toKelvin(double(v), m_unit) : 0.0;
        const double term = kelvin > 0.0 ? std::exp(m_top - m_ratio / kelvin) : -1.0;
        // A term lies in [0, 1], so its fixed value in [0, 2^TermBits]: the
        // product by 2^TermBits is exact, and so is adding a half below 2^52,
        // so truncating rounds half up as llround() does for these.
        constexpr double Scale = double(qint64(1) << TermBits);
        slot = {v, term, term >= 0.0 ? qint64(term * Scale + 0.5) : -1};
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

// The windows' sums are exact: each term in whole units of 2^-TermBits
// (Terms::fixed) times its weight in whole seconds, added in 128 bits. A
// window's sums are then the same whatever order its samples came in and
// whatever a rolling sum did before, so equally hot windows tie exactly (the
// earliest one is the worst) and a run may be taken in parts. A sum stays
// exact while a window's weights stay below 2^88 seconds, any run of dates.
__extension__ typedef unsigned __int128 Sum;

int bitWidth(Sum v)
{
    const quint64 high = quint64(v >> 64);
    return high != 0 ? 64 + std::bit_width(high) : std::bit_width(quint64(v));
}

// Whether sum/weights lies above bestSum/bestWeights (weights above 0):
// exactly while the cross products fit in 128 bits, which they do for any
// window shorter than some 10^7 years. Out of line: the loops ask it
// rarely.
Q_NEVER_INLINE bool aboveMean(Sum sum, quint64 weights, Sum bestSum, quint64 bestWeights)
{
    if (bitWidth(sum) + std::bit_width(bestWeights) <= 128 && bitWidth(bestSum) + std::bit_width(weights) <= 128)
        return sum * bestWeights > bestSum * weights;
    return static_cast<long double>(sum) / static_cast<long double>(weights)
        > static_cast<long double>(bestSum) / static_cast<long double>(bestWeights);
}

// The worst window found so far: its sums and its first sample.
struct Best
{
    static constexpr size_t None = ~size_t(0);
    Sum sum = 0;
    quint64 weights = 0;
    size_t at = None;

    // The window from sample i with these sums, kept when it is the first
    // with any weight or hotter than the one kept.
    Q_ALWAYS_INLINE void offer(Sum s, quint64 w, size_t i)
    {
        if (w == 0)
            return;
        if (at != None && !(w == weights ? s > sum : aboveMean(s, w, sum, weights)))
            return;
        sum = s;
        weights = w;
        at = i;
    }
    // The worst of this part's and a later part's.
    void join(const Best &later)
    {
        if (later.at != None)
            offer(later.sum, later.weights, later.at);
    }
    void write(WindowMkt &out, std::span<const double> x, const Terms &terms) const
    {
        if (at == None)
            return;
        out.start = x[at];
        if (sum == 0)
            return;
        // The quotient of the exact sums: the same for sums scaled alike
        // (a steady run counts samples, not seconds) while they stay below
        // 2^64.
        const long double mean = static_cast<long double>(sum) / static_cast<long double>(weights);
        out.mkt = terms.temperature(std::ldexp(double(mean), -Terms::TermBits));
    }
};

// The samples of a run one after another, each with its time in whole
// seconds, when its interval ends, its counted weight (its interval) and its
// fixed term times that weight, kept from the oldest one a window still holds
// to the newest one read: a window's span, not the run. Samples are read
// ahead in batches, so the windows' loops find them ready; each field has an
// array of its own, a power of two long.
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
        quint64 *counted = m_counted.data();
        Sum *product = m_product.data();
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
            // A reading that does not count adds nothing to the sums.
            const qint64 term = m_terms.fixed(m_y[i]);
            times[at] = t;
            reach[at] = t + weight;
            counted[at] = term >= 0 ? quint64(weight) : 0;
            product[at] = term >= 0 ? Sum(quint64(term)) * quint64(weight) : 0;
        }
        m_nextT = next;
        m_read = end;
    }
    // Samples before k are not asked for again.
    void dropBefore(size_t k) { m_oldest = k; }

    size_t mask() const { return m_mask; }
    const qint64 *t() const { return m_t.data(); }
    const qint64 *reach() const { return m_reach.data(); }
    const quint64 *counted() const { return m_counted.data(); }
    const Sum *product() const { return m_product.data(); }

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
    std::vector<quint64> m_counted;  // the weight when the reading counts, else 0
    std::vector<Sum> m_product;      // fixed term x weight when the reading counts, else 0
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
    Sum sum = 0;
    quint64 weights = 0;
    Best best;
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
    const quint64 *counted = nullptr;
    const Sum *product = nullptr;
};

// Window win from sample i on; false once it is closed. runEnd is where the
// run's last interval ends. Inlined into the loops below, so that the
// window's state stays in registers.
Q_ALWAYS_INLINE bool step(Window &win, size_t i, RingView &ring, size_t n, qint64 runEnd)
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
    win.best.offer(win.sum, win.weights, i);
    if (win.j > i) {
        win.sum -= ring.product[i & ring.mask];
        win.weights -= ring.counted[i & ring.mask];
    }
    return true;
}

// Windows a and, if given, b from each sample of [i0, i1) on, their state
// copied to local variables for the loop: a sum kept in memory would wait on
// its own store at every sample.
void stepBlock(Window *windowA, Window *windowB, size_t i0, size_t i1, size_t n, qint64 runEnd,
               SampleRing &samples)
{
    RingView ring(samples);
    ring.readThrough(i0);
    Window a = *windowA;
    if (windowB) {
        Window b = *windowB;
        for (size_t i = i0; i < i1; ++i) {
            if (i >= ring.read) [[unlikely]]
                ring.readThrough(i);
            const bool openA = step(a, i, ring, n, runEnd);
            const bool openB = step(b, i, ring, n, runEnd);
            if (!openA && !openB)
                break;
        }
        *windowB = b;
    } else {
        for (size_t i = i0; i < i1; ++i) {
            if (i >= ring.read) [[unlikely]]
                ring.readThrough(i);
            if (!step(a, i, ring, n, runEnd))
                break;
        }
    }
    *windowA = a;
}

// Any run: each window from each sample on, its sums rolled on.
void windowsOfAnyRun(std::span<const double> x, std::span<const float> y, qint64 intervalSeconds, qint64 runEnd,
                     Terms &terms, std::vector<Window> &windows)
{
    const size_t n = x.size();
    // Each window's loop is its own, whatever the others do, so the windows
    // take a block of samples in turn, two at a time.
    SampleRing samples(x, y, intervalSeconds, terms);
    constexpr size_t Block = 2048;
    for (size_t i0 = 0; i0 < n; i0 += Block) {
        const size_t i1 = std::min(n, i0 + Block);
        size_t k = 0;
        for (; k + 1 < windows.size(); k += 2)
            stepBlock(&windows[k], &windows[k + 1], i0, i1, n, runEnd, samples);
        if (k < windows.size())
            stepBlock(&windows[k], nullptr, i0, i1, n, runEnd, samples);
        if (std::none_of(windows.begin(), windows.end(), [](const Window &win) { return win.open; }))
            break;
        samples.dropBefore(i1);
    }
}

// A steady run: sample k at first + k x step seconds (as wholeSeconds()
// takes its time), the last one's interval `step` too. Every sample weighs
// `step`, so a window from sample i holds the samples [i, i + K) for a K of
// its own, and its sums can count samples instead of seconds. The readings
// are coded by their slot in a table of the distinct readings met, so each
// one's term is taken once.
class SteadyRun
{
public:
    static constexpr size_t Slots = 8192;        // a part's table
    static constexpr size_t MostReadings = 4096;  // distinct readings a part may hold
    // The largest K: K x 2^TermBits stays below 2^63.
    static constexpr size_t MostSamples = size_t(1) << 22;

    // Codes the readings of x and y; false when the run is not steady or
    // holds too many distinct readings.
    bool code(std::span<const double> x, std::span<const float> y, qint64 first, qint64 step)
    {
        const size_t n = x.size();
        m_codes.reset(new quint16[n]);
        adviseHugePages(m_codes.get(), n * sizeof(quint16));
        bool coded[2] = {true, true};
        Halves::run(n, [&](int k, size_t begin, size_t end) {
            coded[k] = codePart(x.data(), y.data(), begin, end, first, step, m_keys[k].data(), quint16(k * Slots),
                                m_codes.get());
        });
        return coded[0] && coded[1];
    }

    // The fixed terms of the coded readings, and whether they count.
    void takeTerms(Terms &terms)
    {
        for (int k = 0; k < 2; ++k) {
            for (size_t slot = 0; slot < Slots; ++slot) {
                if (m_keys[k][slot] == NoReading)
                    continue;
                const qint64 term = terms.fixed(std::bit_cast<float>(m_keys[k][slot]));
                m_fixed[k * Slots + slot] = term >= 0 ? quint64(term) : 0;
                m_counted[k * Slots + slot] = term >= 0 ? 1 : 0;
            }
        }
    }

    // The distinct readings met.
    std::vector<float> readings() const
    {
        std::vector<float> r;
        for (const auto &keys : m_keys)
            for (const quint32 key : keys)
                if (key != NoReading)
                    r.push_back(std::bit_cast<float>(key));
        return r;
    }

    // The worst window of `count` samples from any sample of [0, starts) on.
    Best worst(size_t n, size_t count, size_t starts) const
    {
        Best best[2];
        if (count > 0)
            Halves::run(starts, [&](int k, size_t begin, size_t end) { best[k] = worstFrom(n, count, begin, end); });
        best[0].join(best[1]);
        return best[0];
    }

private:
    static constexpr quint32 NoReading = 0xFFFFFFFFu;   // a NaN no reading carries; a run holding it is taken as any

    // Codes the readings of [begin, end) by their slot in keys (plus offset)
    // and checks the times of the part; out of line, so that its figures
    // stay in registers.
    Q_NEVER_INLINE static bool codePart(const double *x, const float *y, size_t begin, size_t end, qint64 first,
                                        qint64 step, quint32 *keys, quint16 offset, quint16 *codes)
    {
        // The expected times and the bounds around them are whole seconds
        // and halves, exact in a double.
        double expected = double(first) + double(begin) * double(step);
        const double stepSeconds = double(step);
        size_t distinct = 0;
        bool steady = true;
        for (size_t i = begin; i < end; ++i) {
            // wholeSeconds(x[i]) == expected, for a time after 0.
            const double seconds = x[i] * 86400.0;
            steady &= (seconds >= expected - 0.5) & (seconds < expected + 0.5);
            expected += stepSeconds;
            const quint32 bits = std::bit_cast<quint32>(y[i]);
            size_t slot = (bits * 2654435761u) >> 19;
            while (keys[slot] != bits) {
                if (keys[slot] == NoReading) {
                    if (bits == NoReading || ++distinct > MostReadings)
                        return false;
                    keys[slot] = bits;
                    break;
                }
                slot = (slot + 1) & (Slots - 1);
            }
            codes[i] = quint16(slot + offset);
            if ((i & 4095) == 4095 && !steady)
                return false;
        }
        return steady;
    }

    // The worst window from the samples of [begin, end) on; out of line, so
    // that the sums stay in registers.
    Q_NEVER_INLINE Best worstFrom(size_t n, size_t count, size_t begin, size_t end) const
    {
        const quint16 *codes = m_codes.get();
        const quint64 *fixed = m_fixed.data();
        const quint64 *counted = m_counted.data();
        // Below 2^63 (MostSamples), and never below 0 but in passing:
        // unsigned, so that passing wraps.
        quint64 sum = 0;
        quint64 samples = 0;
        for (size_t j = begin; j < begin + count; ++j) {
            sum += fixed[codes[j]];
            samples += counted[codes[j]];
        }
        // The worst one's figures in registers of their own: the loop asks
        // the common case (as many samples counted) alone.
        quint64 bestSum = 0;
        quint64 bestSamples = 0;
        size_t bestAt = Best::None;
        const size_t rolled = std::min(end, n - count);
        size_t i = begin;
        const auto offer = [&] {
            // Sums below 2^63 and counts below 2^22: the cross products fit.
            if (samples == bestSamples ? sum > bestSum
                                       : (samples != 0
                                          && (bestSamples == 0 || Sum(sum) * bestSamples > Sum(bestSum) * samples))) {
                bestSum = sum;
                bestSamples = samples;
                bestAt = i;
            }
        };
        for (; i < rolled; ++i) {
            offer();
            const quint16 in = codes[i + count];
            const quint16 out = codes[i];
            sum += fixed[in] - fixed[out];
            samples += counted[in] - counted[out];
        }
        if (i < end)
            offer();   // the last window, which ends with the run
        Best best;
        best.sum = bestSum;
        best.weights = bestSamples;
        best.at = bestAt;
        return best;
    }

    std::unique_ptr<quint16[]> m_codes;
    std::array<std::vector<quint32>, 2> m_keys{std::vector<quint32>(Slots, NoReading),
                                               std::vector<quint32>(Slots, NoReading)};
    std::vector<quint64> m_fixed = std::vector<quint64>(2 * Slots, 0);
    std::vector<quint64> m_counted = std::vector<quint64>(2 * Slots, 0);
};

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

    // A steady run (the logger's own) whose windows hold few enough samples.
    const qint64 step = n >= 2 ? wholeSeconds(x[1]) - first : 0;
    bool steady = step > 0 && step == intervalSeconds && first >= 1
        && double(first) + double(n) * double(step) < 4.0e15;
    for (const qint64 window : windowSeconds)
        steady = steady && (window <= 0 || size_t(window / std::max<qint64>(step, 1)) < SteadyRun::MostSamples);
    if (steady) {
        SteadyRun run;
        if (run.code(x, y, first, step)) {
            const std::vector<float> readings = run.readings();
            Terms terms(readings, unit, activationEnergy);
            if (!terms.any())
                return out;
            run.takeTerms(terms);
            w = 0;
            for (const qint64 window : windowSeconds) {
                if (!out[w].tooShort) {
                    // Starts while the window fits: i x step + window <= n x step.
                    const size_t count = size_t(window / step);
                    const size_t starts = n - size_t((window + step - 1) / step) + 1;
                    run.worst(n, count, starts).write(out[w], x, terms);
                }
                ++w;
            }
            return out;
        }
    }

    Terms terms(y, unit, activationEnergy);
    if (!terms.any())
        return out;
    std::vector<Window> windows;
    w = 0;
    for (const qint64 window : windowSeconds) {
        if (!out[w].tooShort) {
            Window &win = windows.emplace_back();
            win.seconds = window;
            win.result = &out[w];
        }
        ++w;
    }
    windowsOfAnyRun(x, y, intervalSeconds, runEnd, terms, windows);
    for (const Window &win : windows)
        win.best.write(*win.result, x, terms);
    return out;
}

} // namespace KineticTemperature
