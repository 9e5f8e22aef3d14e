// The report's layout of one data set: its header, statistics, limit texts
// and the pages its sample table and history fall into. The samples are
// what a reader can hand on (times within the dates the program shows, any
// finite reading, the markers), the description and the options anything.
// Whatever they are, every sample lands on exactly one table page, every
// history line on one history page, the page count adds up, the sampling
// rate never reads negative, and a time window keeps only the samples
// within it.
#include "FuzzCheck.h"

#include "core/data/DateTimeText.h"
#include "core/report/ReportLayout.h"

#include <cstring>
#include <limits>

namespace {

// The fuzzer's bytes as a stream of values; zeros once they run out.
class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    template <typename T>
    T take()
    {
        T value{};
        const size_t n = std::min(sizeof(T), m_size - m_pos);
        std::memcpy(&value, m_data + m_pos, n);
        m_pos += n;
        return value;
    }
    bool flag() { return take<uint8_t>() & 1; }
    bool atEnd() const { return m_pos >= m_size; }
    QString text(int maxLength)
    {
        const int n = take<uint8_t>() % (maxLength + 1);
        QByteArray bytes;
        for (int i = 0; i < n && !atEnd(); ++i)
            bytes.append(char(take<uint8_t>()));
        return QString::fromUtf8(bytes);
    }
    // A time the program can show.
    double day()
    {
        const double unit = double(take<uint32_t>()) / double(std::numeric_limits<uint32_t>::max());
        return FrameworkTime::FirstShownDay + unit * (FrameworkTime::EndOfShownDays - 1 - FrameworkTime::FirstShownDay);
    }
    // Any finite reading, a marker now and then.
    float reading()
    {
        const uint8_t kind = take<uint8_t>();
        if (kind < 16)
            return kind & 1 ? 9999.0f : -9999.0f;
        const float v = take<float>();
        return std::isfinite(v) ? v : 0.0f;
    }
    std::optional<double> limit()
    {
        if (!flag())
            return std::nullopt;
        const double v = take<double>();
        return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const DateTimeText texts(QLocale(QLocale::English, QLocale::UnitedStates));
    Input in(data, size);

    ReportData d;
    d.fileName = in.text(40);
    d.setNumber = in.take<uint8_t>() % 16;
    if (in.flag())
        d.start = in.day();
    if (in.flag())
        d.intervalSeconds = qint64(in.take<uint32_t>() % (86400u * 366u));
    d.unit = QStringList{QString(), QStringLiteral("C"), QStringLiteral("F")}.at(in.take<uint8_t>() % 3);
    // A first time and steps from it, or times anywhere.
    const bool scattered = in.flag();
    double t = in.day();
    const int samples = in.take<uint16_t>() % 401;
    for (int i = 0; i < samples && !in.atEnd(); ++i) {
        t = scattered ? in.day() : std::min(t + double(in.take<uint16_t>()) / 86400.0, FrameworkTime::EndOfShownDays - 1);
        d.x.push_back(t);
        d.humidity.push_back(in.reading());
        d.temperature.push_back(in.reading());
    }
    if (in.flag()) {
        ReportProvenance a;
        a.samplesSha256 = QStringLiteral("0123456789abcdef0123456789abcdef");
        a.downloadId = in.take<uint16_t>();
        const int lines = in.take<uint8_t>();
        for (int i = 0; i < lines; ++i)
            a.history << QString::number(i);
        d.archived = a;
    }

    ReportOptions options;
    options.table = !in.flag();
    for (ChannelLimits &l : options.limits) {
        l.low = in.limit();
        l.high = in.limit();
        l.warningLow = in.limit();
        l.warningHigh = in.limit();
        l.delayMinutes = in.take<uint16_t>();
        l.delay = in.flag() ? AlarmDelay::Total : AlarmDelay::Consecutive;
    }
    if (in.flag())
        options.from = in.day();
    if (in.flag())
        options.to = in.day();

    // A time window keeps exactly the samples within it, in their order.
    const ReportData cut = d.window(options.from, options.to);
    qsizetype inside = 0;
    for (double x : d.x)
        inside += !((options.from && x < *options.from) || (options.to && x > *options.to));
    FUZZ_CHECK(cut.points() == inside);
    FUZZ_CHECK(cut.archived.has_value() == d.archived.has_value());
    for (size_t i = 0; i < cut.x.size(); ++i)
        FUZZ_CHECK(!(options.from && cut.x[i] < *options.from) && !(options.to && cut.x[i] > *options.to));

    const ReportLayout layout(cut, texts, options);
    bool rateSeen = false;
    for (const ReportLayout::Field &f : layout.headerFields()) {
        FUZZ_CHECK(!f.label.isEmpty());
        if (f.label == u"Sampling Rate") {
            rateSeen = true;
            FUZZ_CHECK(!f.value.contains(u'-'));
        }
        if (f.label == u"Data No.")
            FUZZ_CHECK(f.value == QString::number(cut.points()));
    }
    FUZZ_CHECK(rateSeen);
    FUZZ_CHECK(!layout.runningHeader().isEmpty());

    for (int c = 0; c < ReportLayout::StatisticsRows; ++c) {
        const ReportLayout::ChannelTexts s = layout.statistics(c);
        FUZZ_CHECK(!s.name.isEmpty());
        FUZZ_CHECK(cut.points() == 0 || (!s.maximum.isEmpty() && !s.minimum.isEmpty() && !s.average.isEmpty()));
    }
    for (int c = 0; c < 2; ++c) {
        const ReportLayout::LimitTexts l = layout.limitStatistics(c);
        FUZZ_CHECK(layout.hasLimits(c) == !l.name.isEmpty());
        (void)layout.breachesText(c);
    }
    FUZZ_CHECK(!layout.meanKineticTemperature().isEmpty());
    FUZZ_CHECK(!layout.worstWindowsText().isEmpty());
    FUZZ_CHECK(layout.fingerprint().isEmpty() == !cut.archived);

    // Every sample on exactly one table page, in order, every page full but the last.
    const int tablePages = layout.tablePages();
    FUZZ_CHECK(layout.pageCount() == 1 + tablePages + layout.historyPages());
    qsizetype rows = 0;
    for (int p = 0; p < tablePages; ++p) {
        const qsizetype n = layout.rowCountOf(p);
        FUZZ_CHECK(layout.firstRowOf(p) == rows);
        FUZZ_CHECK(n >= 1 && n <= ReportLayout::RowsPerPage);
        FUZZ_CHECK(p == tablePages - 1 || n == ReportLayout::RowsPerPage);
        FUZZ_CHECK(layout.tableRow(rows).size() == ReportLayout::tableHeadings().size());
        FUZZ_CHECK(layout.tableRow(rows + n - 1).size() == ReportLayout::tableHeadings().size());
        rows += n;
    }
    FUZZ_CHECK(rows == (options.table ? cut.points() : 0));
    FUZZ_CHECK(layout.rowCountOf(tablePages) == 0 || !options.table);
    FUZZ_CHECK(layout.tableRow(cut.points()).isEmpty());

    // Every history line on one history page, in order.
    QStringList history;
    for (int p = 0; p < layout.historyPages(); ++p) {
        const QStringList lines = layout.historyLinesOf(p);
        FUZZ_CHECK(!lines.isEmpty() && lines.size() <= ReportLayout::HistoryLinesPerPage);
        history += lines;
    }
    FUZZ_CHECK(history == (cut.archived ? cut.archived->history : QStringList()));
    FUZZ_CHECK(ReportLayout::pageNumber(layout.pageCount(), layout.pageCount()).startsWith(u"Page "));
    return 0;
}
