// The stored chart state: one little-endian QDataStream record,
//   magic "KVCH", version, then every field of ChartState in a fixed order.
// The same visit() walks the fields for writing and for reading, so the two
// cannot drift apart. The reader checks every count against the bytes left
// before it allocates, and every value against its allowed range.

#include "core/chart/ChartModel.h"

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
constexpr qint32 kMaxAnnotationIndex = 1'000'000;

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

// Walks every field of the state. S is ChartState (reading) or const ChartState
// (writing). Sizes come before the arrays they size, so a reader can check them.
template <class IO, class S> void visit(IO &io, S &s)
{
    io.ranged(s.subsets, 0, ChartModel::MaxSubsets);
    io.ranged(s.points, 0, std::numeric_limits<qint32>::max());
    const qint64 cells = qint64(s.subsets) * s.points;
    if (cells > ChartModel::MaxCells)
        io.fail("too many data cells");
    if (!io.ok())
        return;
    io.cells(s.x, cells);
    io.cells(s.y, cells);
    io.value(s.usingXDataII);
    io.enumValue(s.dateTimeMode);
    io.value(s.nullDataValueY);
    io.value(s.subsetByPoint);
    io.list(s.subsetLabels, ChartModel::MaxSubsets, [&](auto &e) { io.value(e); });
    io.list(s.subsetColors, ChartModel::MaxSubsets, [&](auto &e) { io.value(e); });
    io.list(s.subsetLineTypes, ChartModel::MaxSubsets,
            [&](auto &e) { io.ranged(e, 0, LineType::Last); });
    io.enumValue(s.plottingMethod);

    io.enumValue(s.manualScaleControlX);
    io.value(s.manualMinX);
    io.value(s.manualMaxX);
    io.ranged(s.workingAxis, 0, ChartModel::MaxAxes - 1);
    io.list(s.axes, ChartModel::MaxAxes, [&](auto &a) {
        io.enumValue(a.scaleControl);
        io.value(a.manualMin);
        io.value(a.manualMax);
        io.value(a.label);
    });
    io.list(s.multiAxesSubsets, ChartModel::MaxAxes,
            [&](auto &e) { io.ranged(e, 0, ChartModel::MaxSubsets); });
    io.list(s.multiAxesProportions, ChartModel::MaxAxes, [&](auto &e) { io.value(e); });
    io.enumValue(s.multiAxesSeparators);
    io.value(s.mainTitle);
    io.value(s.subTitle);
    io.value(s.xAxisLabel);

    io.value(s.showGraphAnnotations);
    io.ranged(s.graphAnnotationTextSize, 1, 1000);
    io.map(s.graphAnnotations, [&](auto &a) {
        io.value(a.x);
        io.value(a.y);
        io.ranged(a.type, AnnotationType::Text, AnnotationType::Last);
        io.value(a.color);
        io.value(a.text);
    });
    io.value(s.showVertLineAnnotations);
    io.ranged(s.lineAnnotationTextSize, 1, 1000);
    io.map(s.vertLineAnnotations, [&](auto &a) {
        io.value(a.x);
        io.ranged(a.type, VertLineType::Solid, VertLineType::Last);
        io.value(a.color);
        io.value(a.text);
    });

    io.value(s.allowDataHotSpots);
    io.value(s.allowGraphAnnotHotSpots);
    io.value(s.allowVertLineAnnotHotSpots);
    io.enumValue(s.allowZooming);
    io.value(s.scrollingHorzZoom);
    io.value(s.scrollingVertZoom);
    io.enumValue(s.arrowCursor);
    io.enumValue(s.printStyleControl);
    io.value(s.printLandscape);

    io.enumValue(s.viewingStyle);
    io.value(s.dataShadows);
    io.value(s.showLegend);
    io.enumValue(s.gridLines);
    io.value(s.gridInFront);
    io.enumValue(s.gridStyle);
    io.ranged(s.dataPrecision, 0, 9);
    io.enumValue(s.fontSize);
    io.value(s.titleFont);
    io.value(s.labelFont);
    io.enumValue(s.borderTypes);
    io.value(s.bitmapGradientMode);
    io.enumValue(s.deskGradientStyle);
    io.enumValue(s.quickStyle);
    io.value(s.imageAdjustRight);
    io.enumValue(s.renderEngine);
    io.value(s.prepareImages);
    io.enumValue(s.allowDataLabels);
    io.value(s.allowArea);
    io.value(s.allowBar);
    io.value(s.allowPopup);
    io.value(s.allowCustomization);
    io.value(s.allowExporting);
    io.value(s.allowMaximization);
    io.value(s.noHelp);
    io.value(s.allowAxisPage);
    io.value(s.focalRect);
    io.value(s.noRandomPointsToExport);
    io.value(s.lineGapThreshold);
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
    if (!r.ok())
        return damaged(r.error());
    m_s = std::move(loaded);
    touchAll();
    return {};
}
