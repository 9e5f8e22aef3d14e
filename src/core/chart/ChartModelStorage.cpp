// The stored chart state: one little-endian QDataStream record,
//   magic "KVCH", version, then every field of ChartState in a fixed order.
// The same visit() walks the fields for writing, for reading and for checking
// an edit, so the three cannot drift apart. The reader checks every count
// against the bytes left before it allocates, and every value against its
// allowed range. The settings only graph files keep (StoredOnlySettings) are
// read and written here alone.

#include "core/chart/ChartModel.h"

#include "core/base/Log.h"
#include "core/data/DateTimeText.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr quint32 kMagic = 0x4843564b; // "KVCH" read little-endian
constexpr quint32 kVersion = 1;
constexpr quint32 kMaxStringBytes = 1u << 20;
// Note numbers grow by one per note placed; anything beyond this is damage,
// and the next number must still fit in an int.
constexpr qint32 kMaxAnnotationIndex = ChartModel::MaxAnnotationIndex;

class StateWriter
{
public:
    explicit StateWriter(QByteArray *out)
        : m_ds(out, QIODevice::WriteOnly)
    {
        m_ds.setByteOrder(QDataStream::LittleEndian);
        m_ds.setFloatingPointPrecision(QDataStream::DoublePrecision);
    }

    void value(const qint32 &v) { m_ds << v; }
    void value(const quint32 &v) { m_ds << v; }
    void value(const bool &v) { m_ds << quint8(v ? 1 : 0); }
    void value(const double &v) { m_ds << v; }
    void value(const QString &v)
    {
        const QByteArray utf8 = v.toUtf8();
        m_ds << quint32(utf8.size());
        m_ds.writeRawData(utf8.constData(), int(utf8.size()));
    }
    template <typename E> void enumValue(const E &v) { m_ds << qint32(v); }
    void ranged(const qint32 &v, qint32, qint32) { m_ds << v; }

    template <typename T> void cells(const QList<T> &v, qint64)
    {
        m_ds << quint64(v.size());
        writeLittleEndian(v.constData(), v.size());
    }
    template <typename T, typename F> void list(const QList<T> &v, int, F &&each)
    {
        m_ds << quint32(v.size());
        for (const T &e : v)
            each(e);
    }
    template <typename V, typename F> void map(const std::map<qint32, V> &m, F &&each)
    {
        m_ds << quint32(m.size());
        for (const auto &[key, v] : m) {
            m_ds << key;
            each(v);
        }
    }
    void fail(const char *) {}
    bool ok() const { return true; }

private:
    template <typename T> void writeLittleEndian(const T *data, qsizetype count)
    {
        const qsizetype bytes = count * qsizetype(sizeof(T));
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            m_ds.writeRawData(reinterpret_cast<const char *>(data), int(bytes));
        } else {
            QByteArray tmp(bytes, Qt::Uninitialized);
            qToLittleEndian<T>(data, count, tmp.data());
            m_ds.writeRawData(tmp.constData(), int(bytes));
        }
    }

    QDataStream m_ds;
};

class StateReader
{
public:
    explicit StateReader(QByteArrayView bytes)
        : m_bytes(QByteArray::fromRawData(bytes.data(), bytes.size()))
        , m_ds(m_bytes)
    {
        m_ds.setByteOrder(QDataStream::LittleEndian);
        m_ds.setFloatingPointPrecision(QDataStream::DoublePrecision);
    }

    void value(qint32 &v) { read(v); }
    void value(quint32 &v) { read(v); }
    void value(bool &v)
    {
        quint8 b = 0;
        read(b);
        if (b > 1)
            fail("bad flag");
        v = b != 0;
    }
    // A NaN would reach the chart's sorts and scales, where it is undefined.
    void value(double &v)
    {
        read(v);
        if (m_ok && !std::isfinite(v))
            fail("number that is not finite");
    }
    void value(QString &v)
    {
        quint32 n = 0;
        read(n);
        if (!m_ok)
            return;
        if (n > kMaxStringBytes || n > remaining())
            return fail("text longer than the record");
        QByteArray utf8(qsizetype(n), Qt::Uninitialized);
        if (m_ds.readRawData(utf8.data(), int(n)) != int(n))
            return fail("truncated text");
        v = QString::fromUtf8(utf8);
    }
    template <typename E> void enumValue(E &v)
    {
        qint32 raw = 0;
        read(raw);
        if (raw < qint32(enumFirst<E>()) || raw > qint32(enumLast<E>()))
            return fail("value out of range");
        v = E(raw);
    }
    void ranged(qint32 &v, qint32 lo, qint32 hi)
    {
        read(v);
        if (m_ok && (v < lo || v > hi))
            fail("value out of range");
    }

    template <typename T> void cells(QList<T> &v, qint64 expected)
    {
        quint64 n = 0;
        read(n);
        if (!m_ok)
            return;
        if (n != quint64(expected))
            return fail("data size does not match subsets and points");
        if (n > quint64(remaining()) / sizeof(T))
            return fail("data longer than the record");
        v.resize(qsizetype(n));
        const qsizetype bytes = qsizetype(n) * qsizetype(sizeof(T));
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            if (m_ds.readRawData(reinterpret_cast<char *>(v.data()), int(bytes)) != int(bytes))
                return fail("truncated data");
        } else {
            QByteArray tmp(bytes, Qt::Uninitialized);
            if (m_ds.readRawData(tmp.data(), int(bytes)) != int(bytes))
                return fail("truncated data");
            qFromLittleEndian<T>(tmp.constData(), qsizetype(n), v.data());
        }
        if (!std::all_of(v.cbegin(), v.cend(), [](T e) { return std::isfinite(e); }))
            return fail("time or reading that is not finite");
    }
    template <typename T, typename F> void list(QList<T> &v, int maxCount, F &&each)
    {
        quint32 n = 0;
        read(n);
        if (!m_ok)
            return;
        // Every element takes at least 4 bytes.
        if (n > quint32(maxCount) || n > remaining() / 4)
            return fail("list too long");
        v.clear();
        v.resize(qsizetype(n));
        for (T &e : v) {
            each(e);
            if (!m_ok)
                return;
        }
    }
    template <typename V, typename F> void map(std::map<qint32, V> &m, F &&each)
    {
        quint32 n = 0;
        read(n);
        if (!m_ok)
            return;
        // Every entry takes at least 8 bytes (index and one field).
        if (n > remaining() / 8)
            return fail("annotation list too long");
        m.clear();
        for (quint32 i = 0; i < n && m_ok; ++i) {
            qint32 key = 0;
            read(key);
            if (!m_ok)
                return;
            if (key < 0 || key > kMaxAnnotationIndex || (!m.empty() && key <= m.rbegin()->first))
                return fail("bad annotation index");
            V v;
            each(v);
            m.emplace_hint(m.end(), key, std::move(v));
        }
    }

    void fail(const char *what)
    {
        if (m_ok)
            m_error = QString::fromLatin1(what);
        m_ok = false;
    }
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    qint64 remaining() const { return m_ds.device()->bytesAvailable(); }

    template <typename T> void read(T &v)
    {
        if (!m_ok)
            return;
        m_ds >> v;
        if (m_ds.status() != QDataStream::Ok)
            fail("record ends too early");
    }

private:
    // A view of the caller's bytes, not a copy: graph files can be tens of MiB.
    QByteArray m_bytes;
    QDataStream m_ds;
    bool m_ok = true;
    QString m_error;
};

// Checks a state in memory against the reader's rules, so that a state the
// model takes always loads again. The cells' values are left out: checking
// them would cost a pass over every point at each edit.
class StateChecker
{
public:
    void value(const qint32 &) {}
    void value(const quint32 &) {}
    void value(const bool &) {}
    void value(const double &v)
    {
        if (!std::isfinite(v))
            fail("number that is not finite");
    }
    void value(const QString &v)
    {
        // UTF-8 takes at most three bytes per UTF-16 unit.
        if (quint64(v.size()) * 3 > kMaxStringBytes && quint64(v.toUtf8().size()) > kMaxStringBytes)
            fail("text too long");
    }
    template <typename E> void enumValue(const E &v)
    {
        if (qint32(v) < qint32(enumFirst<E>()) || qint32(v) > qint32(enumLast<E>()))
            fail("value out of range");
    }
    void ranged(const qint32 &v, qint32 lo, qint32 hi)
    {
        if (v < lo || v > hi)
            fail("value out of range");
    }
    template <typename T> void cells(const QList<T> &v, qint64 expected)
    {
        if (v.size() != expected)
            fail("data size does not match subsets and points");
    }
    template <typename T, typename F> void list(const QList<T> &v, int maxCount, F &&each)
    {
        if (v.size() > maxCount)
            return fail("list too long");
        for (const T &e : v)
            each(e);
    }
    template <typename V, typename F> void map(const std::map<qint32, V> &m, F &&each)
    {
        for (const auto &[key, v] : m) {
            if (key < 0 || key > kMaxAnnotationIndex)
                return fail("bad annotation index");
            each(v);
        }
    }
    void fail(const char *what)
    {
        if (m_ok)
            qCDebug(lcChart) << "chart state refused:" << what;
        m_ok = false;
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = true;
};

// Walks every field of the state. S is ChartState (reading) or const ChartState
// (writing, checking). Sizes come before the arrays they size, so a reader can
// check them. The order is the file format's: never change it.
template <class IO, class S> void visit(IO &io, S &s)
{
    auto &looks = s.looks;
    auto &kept = s.storedOnly;
    io.ranged(s.subsets, 0, ChartModel::MaxSubsets);
    io.ranged(s.points, 0, std::numeric_limits<qint32>::max());
    const qint64 cells = qint64(s.subsets) * s.points;
    if (cells > ChartModel::MaxCells)
        io.fail("too many data cells");
    if (!io.ok())
        return;
    io.cells(s.x, cells);
    io.cells(s.y, cells);
    io.value(kept.usingXDataII);
    io.enumValue(s.dateTimeMode);
    io.value(s.nullDataValueY);
    io.value(s.subsetByPoint);
    io.list(looks.subsetLabels, ChartModel::MaxSubsets, [&](auto &e) { io.value(e); });
    io.list(looks.subsetColors, ChartModel::MaxSubsets, [&](auto &e) { io.value(e); });
    io.list(looks.subsetLineTypes, ChartModel::MaxSubsets,
            [&](auto &e) { io.ranged(e, 0, LineType::Last); });
    io.enumValue(looks.plottingMethod);

    io.enumValue(s.xAxis.scaleControl);
    io.value(s.xAxis.manualMin);
    io.value(s.xAxis.manualMax);
    io.ranged(kept.workingAxis, 0, ChartModel::MaxAxes - 1);
    io.list(s.axes, ChartModel::MaxAxes, [&](auto &a) {
        io.enumValue(a.scaleControl);
        io.value(a.manualMin);
        io.value(a.manualMax);
        io.value(a.label);
    });
    io.list(s.multiAxesSubsets, ChartModel::MaxAxes,
            [&](auto &e) { io.ranged(e, 0, ChartModel::MaxSubsets); });
    io.list(s.multiAxesProportions, ChartModel::MaxAxes, [&](auto &e) { io.value(e); });
    io.enumValue(looks.multiAxesSeparators);
    io.value(looks.mainTitle);
    io.value(looks.subTitle);
    io.value(s.xAxis.label);

    io.value(s.graphAnnotations.show);
    io.ranged(s.graphAnnotations.textSize, 1, 1000);
    io.map(s.graphAnnotations.items, [&](auto &a) {
        io.value(a.x);
        io.value(a.y);
        io.ranged(a.type, AnnotationType::Text, AnnotationType::Last);
        io.value(a.color);
        io.value(a.text);
    });
    io.value(s.vertLines.show);
    io.ranged(s.vertLines.textSize, 1, 1000);
    io.map(s.vertLines.items, [&](auto &a) {
        io.value(a.x);
        io.ranged(a.type, VertLineType::Solid, VertLineType::Last);
        io.value(a.color);
        io.value(a.text);
    });

    io.value(looks.allowDataHotSpots);
    io.value(looks.allowGraphAnnotHotSpots);
    io.value(looks.allowVertLineAnnotHotSpots);
    io.enumValue(looks.allowZooming);
    io.value(looks.scrollingHorzZoom);
    io.value(looks.scrollingVertZoom);
    io.enumValue(looks.arrowCursor);
    io.enumValue(looks.printStyleControl);
    io.value(looks.printLandscape);

    io.enumValue(kept.viewingStyle);
    io.value(kept.dataShadows);
    io.value(looks.showLegend);
    io.enumValue(looks.gridLines);
    io.value(looks.gridInFront);
    io.enumValue(looks.gridStyle);
    io.ranged(kept.dataPrecision, 0, 9);
    io.enumValue(looks.fontSize);
    io.value(looks.titleFont);
    io.value(looks.labelFont);
    io.enumValue(kept.borderTypes);
    io.value(looks.bitmapGradientMode);
    io.enumValue(looks.deskGradientStyle);
    io.enumValue(looks.quickStyle);
    io.value(kept.imageAdjustRight);
    io.enumValue(kept.renderEngine);
    io.value(kept.prepareImages);
    io.enumValue(kept.allowDataLabels);
    io.value(kept.allowArea);
    io.value(kept.allowBar);
    io.value(kept.allowPopup);
    io.value(kept.allowCustomization);
    io.value(kept.allowExporting);
    io.value(kept.allowMaximization);
    io.value(kept.noHelp);
    io.value(kept.allowAxisPage);
    io.value(kept.focalRect);
    io.value(kept.noRandomPointsToExport);
    io.value(kept.lineGapThreshold);
}

QByteArray storeState(const ChartState &s)
{
    QByteArray out;
    out.reserve(4096 + s.x.size() * qsizetype(sizeof(double) + sizeof(float)));
    StateWriter w(&out);
    w.value(kMagic);
    w.value(kVersion);
    visit(w, s);
    return out;
}

} // namespace

QByteArray ChartModel::store() const
{
    return storeState(m_s);
}

QByteArray ChartModel::storeLooks() const
{
    // The lists are shared, so the copy costs nothing until its data is dropped.
    ChartState looks = m_s;
    looks.points = 0;
    looks.x.clear();
    looks.y.clear();
    return storeState(looks);
}

Result<> ChartModel::load(QByteArrayView bytes)
{
    const auto damaged = [](const QString &why) {
        return fail(ErrorCode::Damaged, QStringLiteral("The chart data is damaged (%1).").arg(why));
    };
    StateReader r(bytes);
    quint32 magic = 0;
    quint32 version = 0;
    r.value(magic);
    r.value(version);
    if (!r.ok() || magic != kMagic)
        return damaged(QStringLiteral("not a chart record"));
    if (version != kVersion)
        return damaged(QStringLiteral("unknown version %1").arg(version));
    ChartState loaded;
    visit(r, loaded);
    if (r.ok() && r.remaining() != 0)
        r.fail("bytes after the record");
    // Durations and statistics are figured from the times; one no logger can
    // hold would only give wrong figures.
    if (r.ok() && !std::all_of(loaded.x.cbegin(), loaded.x.cend(), FrameworkTime::isShown))
        r.fail("a time outside the dates the program can show");
    if (!r.ok())
        return damaged(r.error());
    m_s = std::move(loaded);
    touchAll();
    return {};
}

bool ChartModel::storable(const ChartState &state)
{
    StateChecker checker;
    visit(checker, state);
    return checker.ok();
}

void ChartModel::recordSetUp(SetUp step)
{
    StoredOnlySettings &kept = m_s.storedOnly;
    switch (step) {
    case SetUp::Prepared:
        kept.renderEngine = RenderEngine::sgGdiPlus;
        kept.prepareImages = true;
        kept.noHelp = true;
        kept.allowArea = false;
        kept.allowPopup = false;
        kept.allowDataLabels = DataLabels::sgNoDataLabels;
        kept.lineGapThreshold = 1e30;
        break;
    case SetUp::FirstLooks:
        kept.borderTypes = BorderType::sgSingleLine;
        kept.imageAdjustRight = -50;
        kept.usingXDataII = true;
        kept.allowAxisPage = true;
        // The first looks are set axis by axis, and files have always
        // recorded the last axis so set.
        if (m_s.subsets > 0)
            kept.workingAxis = std::min(m_s.subsets, MaxAxes) - 1;
        break;
    case SetUp::YAxesEdited:
        kept.workingAxis = 0;
        break;
    case SetUp::FileView:
        kept.allowDataLabels = DataLabels::sgNoDataLabels;
        kept.noRandomPointsToExport = true;
        kept.focalRect = false;
        kept.allowBar = false;
        break;
    }
}
