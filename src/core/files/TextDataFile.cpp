#include "core/files/TextDataFile.h"
#include "core/data/BoundedRead.h"

#include "core/data/DateTimeText.h"

#include "core/base/Halves.h"
#include "core/base/Log.h"
#include "core/data/AtomicFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace {

constexpr qint64 ProgressEvery = 1024;
constexpr qsizetype ChunkBytes = 1 << 20;
constexpr qsizetype SmallChunkBytes = 1 << 16;
// A line is cut at 179 characters; a UTF-8 character takes up to 4 bytes.
constexpr qsizetype MaxLineBytes = TextDataFile::MaxLineLength * 4;

// Lines of a device read in large chunks, without their CR LF or LF. The
// part of a line beyond MaxLineBytes is dropped, so one line of the file
// stays one line however long it is; but a "line" that runs on past
// MaxLineSpan bytes (a binary file, /dev/zero) ends the reading, as the
// file cannot be a data file and may never end.
class LineReader
{
public:
    explicit LineReader(QIODevice &device)
        : m_device(device), m_buffer(bufferSize(device), Qt::Uninitialized)
    {
    }

    // A small file needs no megabyte: allocating and touching one costs more
    // than reading it. A device without a size may hold anything.
    static qsizetype bufferSize(const QIODevice &device)
    {
        if (device.isSequential())
            return ChunkBytes;
        return qsizetype(qBound<qint64>(SmallChunkBytes, device.size() - device.pos() + 1, ChunkBytes));
    }

    // The reading ended on a line longer than MaxLineSpan.
    bool lineTooLong() const { return m_tooLong; }

    bool next(QByteArrayView &line)
    {
        for (;;) {
            char *base = m_buffer.data();
            const auto *nl = static_cast<const char *>(std::memchr(base + m_pos, '\n', size_t(m_end - m_pos)));
            if (nl) {
                QByteArrayView v(base + m_pos, nl - (base + m_pos));
                m_pos += v.size() + 1;
                if (m_skipping) {
                    m_skipping = false;
                    v = m_head;
                }
                if (v.endsWith('\r'))
                    v.chop(1);
                line = v;
                return true;
            }
            if (m_tooLong)
                return false;
            if (m_eof) {
                if (m_pos == m_end && !m_skipping)
                    return false;
                QByteArrayView v = m_skipping ? QByteArrayView(m_head) : QByteArrayView(base + m_pos, m_end - m_pos);
                m_pos = m_end;
                m_skipping = false;
                if (v.endsWith('\r'))
                    v.chop(1);
                line = v;
                return true;
            }
            qsizetype rest = m_end - m_pos;
            if (m_skipping) {
                m_skipped += rest;
                rest = 0;
            } else if (rest >= MaxLineBytes) {
                m_head = QByteArray(base + m_pos, MaxLineBytes);
                m_skipping = true;
                m_skipped = rest;
                rest = 0;
            } else if (rest > 0) {
                std::memmove(base, base + m_pos, size_t(rest));
            }
            m_pos = 0;
            m_end = rest;
            if (m_skipping && m_skipped > TextDataFile::MaxLineSpan) {
                m_tooLong = true;
                return false;
            }
            const qint64 got = m_device.read(base + m_end, m_buffer.size() - m_end);
            if (got <= 0)
                m_eof = true;
            else
                m_end += got;
        }
    }

private:
    QIODevice &m_device;
    QByteArray m_buffer;
    QByteArray m_head;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    qint64 m_skipped = 0;   // bytes of the line being dropped, so far
    bool m_eof = false;
    bool m_skipping = false;
    bool m_tooLong = false;
};

// Decodes a line into a reused buffer: plain ASCII is widened in place,
// anything else goes through UTF-8; then the line is cut at 179 characters.
QStringView decodeLine(QByteArrayView bytes, QString &buffer)
{
    bool ascii = true;
    for (char c : bytes) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        buffer.resize(bytes.size());
        QChar *out = buffer.data();
        for (qsizetype i = 0; i < bytes.size(); ++i)
            out[i] = QChar(uchar(bytes[i]));
    } else {
        buffer = QString::fromUtf8(bytes);
    }
    return QStringView(buffer).left(TextDataFile::MaxLineLength);
}

// The line as plain ASCII, cut at 179 characters, when it is plain ASCII.
std::optional<QLatin1StringView> asciiLine(QByteArrayView bytes)
{
    // Eight bytes at a time: none has its top bit set.
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    quint64 bits = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        bits |= word;
    }
    for (; i < n; ++i)
        bits |= uchar(p[i]);
    if (bits & 0x8080808080808080ull)
        return std::nullopt;
    return QLatin1StringView(p, qMin<qsizetype>(n, TextDataFile::MaxLineLength));
}

// Where separator first stands in a line; -1 when it does not.
qsizetype indexIn(QStringView line, QChar separator)
{
    return line.indexOf(separator);
}

qsizetype indexIn(QLatin1StringView line, QChar separator)
{
    if (separator.unicode() >= 0x80 || line.isEmpty())
        return -1;
    const void *at = std::memchr(line.data(), int(separator.unicode()), size_t(line.size()));
    return at ? static_cast<const char *>(at) - line.data() : -1;
}

bool holdsOL(QStringView field)
{
    return field.contains(QLatin1String("OL"));
}

bool holdsOL(QLatin1StringView field)
{
    for (qsizetype i = 0; i + 1 < field.size(); ++i) {
        if (field.data()[i] == 'O' && field.data()[i + 1] == 'L')
            return true;
    }
    return false;
}

template<typename View>
float readingOf(View field, const DateTimeText &texts)
{
    if (holdsOL(field))
        return TextDataFile::Missing;
    const std::optional<double> v = texts.parseNumber(field);
    // "nan", "inf" or a number beyond a float would poison the chart's scales
    // and make a graph file that cannot be opened again.
    if (!v || !std::isfinite(float(*v)))
        return TextDataFile::Missing;
    return float(*v);
}

} // namespace

QString TextDataFile::cannotOpenMessage(const QString &path)
{
    return QStringLiteral("Cannot open file \"%1\".").arg(QDir::toNativeSeparators(path));
}

QString TextDataFile::tooManyLinesMessage()
{
    return QStringLiteral("The file has more than %1 lines and cannot be opened.").arg(MaxLines);
}

QString TextDataFile::notDataFileMessage(const QString &path)
{
    return QStringLiteral("\"%1\" is not a data file: it has a line longer than %2 MiB.")
        .arg(path)
        .arg(MaxLineSpan / (1024 * 1024));
}

QChar TextDataFile::separatorFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        return QChar(u'\t');
    if (suffix == QLatin1String("csv"))
        return QChar(u',');
    return QChar();
}

void TextDataFile::appendLine(QString &out, double x, float humidity, float temperature, QChar separator,
                              const DateTimeText &texts)
{
    texts.appendDateAndTime(out, x);
    out += separator;
    texts.appendReading(out, humidity);
    out += separator;
    texts.appendReading(out, temperature);
    out += QLatin1String("\r\n");
}

Result<TextWriteResult> TextDataFile::write(QIODevice &out, std::span<const double> x, std::span<const float> humidity,
                                    std::span<const float> temperature, qsizetype begin, qsizetype end,
                                    QChar separator, const DateTimeText &texts, const TextProgress &progress)
{
    TextWriteResult result;
    end = qMin<qsizetype>(end, qsizetype(std::min({x.size(), humidity.size(), temperature.size()})));
    begin = qMax<qsizetype>(begin, 0);
    // The lines go straight into UTF-8 bytes where the regional formats allow
    // (nearly always), else through a QString; either way the device gets
    // blocks of about a megabyte.
    const bool direct = texts.writesUtf8();
    DateTimeText::Utf8Writer writer(texts);
    const QByteArray sep = QString(separator).toUtf8();
    const qsizetype lineBound
        = texts.dateAndTimeUtf8Bound() + 2 * texts.readingUtf8Bound() + 2 * sep.size() + 2;
    QByteArray bytes(direct ? ChunkBytes + lineBound : 0, Qt::Uninitialized);
    char *const first = bytes.data();
    char *p = first;
    QString chunk;
    if (!direct)
        chunk.reserve(1 << 16);
    bool ok = true;
    auto flush = [&] {
        if (direct) {
            ok = ok && AtomicFile::writeAll(out, QByteArrayView(first, p - first));
            p = first;
            return;
        }
        const QByteArray text = chunk.toUtf8();
        ok = ok && AtomicFile::writeAll(out, text);
        chunk.resize(0);
    };
    const auto writeSeparator = [&] {
        if (sep.size() == 1) {
            *p++ = sep.front();
        } else {
            std::memcpy(p, sep.constData(), size_t(sep.size()));
            p += sep.size();
        }
    };
    // The never-filled points at the end are no data: they are left out uncounted.
    while (end > begin && x[size_t(end - 1)] == 0.0 && humidity[size_t(end - 1)] == Missing
           && temperature[size_t(end - 1)] == Missing)
        --end;
    for (qsizetype i = begin; i < end && ok; ++i) {
        if (x[size_t(i)] == 0.0) {
            ++result.undated;
        } else if (direct) {
            p = writer.dateAndTime(p, x[size_t(i)]);
            writeSeparator();
            p = writer.reading(p, humidity[size_t(i)]);
            writeSeparator();
            p = writer.reading(p, temperature[size_t(i)]);
            *p++ = '\r';
            *p++ = '\n';
            ++result.lines;
            if (p - first >= ChunkBytes)
                flush();
        } else {
            appendLine(chunk, x[size_t(i)], humidity[size_t(i)], temperature[size_t(i)], separator, texts);
            ++result.lines;
            if (chunk.size() >= (1 << 16) - 256)
                flush();
        }
        const qint64 done = i - begin + 1;
        if (progress && done % ProgressEvery == 0 && !progress(done)) {
            result.cancelled = true;
            break;
        }
    }
    flush();
    if (!ok) {
        const auto *file = qobject_cast<const QFileDevice *>(&out);
        const QString name = file ? file->fileName() : QString();
        qCInfo(lcFiles).noquote() << "cannot write text lines to" << name << "-" << out.errorString();
        return fail(ErrorCode::WriteFailed, AtomicFile::cannotWriteText(name, out.errorString()));
    }
    // A cancel that came after the last report still counts.
    if (progress && !result.cancelled && !progress(qMax<qint64>(0, end - begin)))
        result.cancelled = true;
    return result;
}

Result<TextWriteResult> TextDataFile::save(const QString &path, std::span<const double> x,
                                           std::span<const float> humidity, std::span<const float> temperature,
                                           qsizetype begin, qsizetype end, QChar separator, const DateTimeText &texts,
                                           const TextProgress &progress)
{
    AtomicFile file(path);
    if (Result<> opened = file.open(); !opened)
        return opened.failure();
    Result<TextWriteResult> result
        = write(file.device(), x, humidity, temperature, begin, end, separator, texts, progress);
    if (!result)
        return result;
    // A cancel drops the partial file: the earlier one stays as it was.
    if (result->cancelled) {
        file.cancel();
        return result;
    }
    if (Result<> committed = file.commit(); !committed)
        return committed.failure();
    return result;
}

namespace {

// The name a message gives a device: its file's, or none.
QString nameOf(const QIODevice &device)
{
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    return file ? file->fileName() : QString();
}

} // namespace

Result<TextFileExtent> TextDataFile::scan(QIODevice &in, QChar separator, const DateTimeText &texts)
{
    TextFileExtent extent;
    LineReader reader(in);
    QByteArrayView bytes;
    QString buffer;
    qint64 rows = 0;
    while (reader.next(bytes) && !bytes.isEmpty()) {
        ++rows;
        if (rows > MaxLines) {
            qCInfo(lcFiles).noquote() << "refused" << nameOf(in) << "- more than" << MaxLines << "lines";
            return fail(ErrorCode::TooLarge, tooManyLinesMessage());
        }
        if (rows > 2)
            continue;
        const QStringView line = decodeLine(bytes, buffer);
        const qsizetype cut = line.indexOf(separator);
        if (cut < 0 || line.indexOf(separator, cut + 1) < 0)
            continue;
        if (const std::optional<double> t = texts.parseDateTime(line.left(cut)))
            (rows == 1 ? extent.t1 : extent.t2) = *t;
    }
    if (reader.lineTooLong()) {
        qCInfo(lcFiles).noquote() << "refused" << nameOf(in) << "- a line runs on without a break";
        return fail(ErrorCode::NotData, notDataFileMessage(nameOf(in)));
    }
    extent.rows = qMax<qint64>(rows, 4);
    extent.xMin = extent.t1;
    extent.xMax = extent.t1 + (extent.t2 - extent.t1) * double(extent.rows);
    // One line, or times that do not increase, give no usable range.
    if (extent.t2 <= extent.t1)
        extent.xMin = 0.0;
    return extent;
}

namespace {

// Room for the points of one run of lines.
struct PointsSpan
{
    double *x;
    float *humidity;
    float *temperature;
    qint64 capacity;
};

struct SpanRead
{
    qint64 filled = 0;
    qint64 undated = 0;
    bool firstTimeRead = false;   // a line gave point 0 its time
    bool cancelled = false;
};

// The lines of reader into the points of span from 0 on, until it is full
// or the lines end; going(q) is asked every ProgressEvery points, and false
// cancels. Each point is unfilled (time 0, no readings) until a line fills
// it, so the span's memory need not be.
template<typename Going>
SpanRead readSpan(LineReader &reader, QChar separator, const DateTimeText &texts, PointsSpan span, Going &&going)
{
    SpanRead r;
    QByteArrayView bytes;
    QString buffer;
    qint64 q = 0;
    const auto unfilled = [&] {
        if (q < span.capacity) {
            span.x[q] = 0.0;
            span.humidity[q] = TextDataFile::Missing;
            span.temperature[q] = TextDataFile::Missing;
        }
    };
    unfilled();
    // One line into point q; false when it holds fewer than two separators
    // (a point that is no point, though a time it holds is kept for q).
    const auto readLine = [&](auto line) {
        const qsizetype cut1 = indexIn(line, separator);
        if (cut1 < 0)
            return false;
        if (const std::optional<double> t = texts.parseDateTime(line.left(cut1))) {
            span.x[q] = *t;
            r.firstTimeRead = r.firstTimeRead || q == 0;
        }
        const auto rest = line.mid(cut1 + 1);
        const qsizetype cut2 = indexIn(rest, separator);
        if (cut2 < 0)
            return false;
        const auto last = rest.mid(cut2 + 1);
        const qsizetype cut3 = indexIn(last, separator);
        span.humidity[q] = readingOf(rest.left(cut2), texts);
        // An empty third field is a missing reading, never the humidity again.
        span.temperature[q] = readingOf(cut3 < 0 ? last : last.left(cut3), texts);
        return true;
    };
    while (q < span.capacity && reader.next(bytes)) {
        if (bytes.isEmpty())
            continue;
        // Plain ASCII lines (the program's own, in most regions) are read as
        // they are; others are decoded from UTF-8 first.
        const std::optional<QLatin1StringView> ascii = asciiLine(bytes);
        if (!(ascii ? readLine(*ascii) : readLine(decodeLine(bytes, buffer))))
            continue;
        // A date that reads as time 0 cannot be written back either.
        if (span.x[q] == 0.0)
            ++r.undated;
        ++q;
        r.filled = q;
        unfilled();
        if (q % ProgressEvery == 0 && !going(q)) {
            r.cancelled = true;
            break;
        }
    }
    return r;
}

void preparePoints(TextFilePoints &points, qint64 pointCount)
{
    points.x.assign(size_t(pointCount), 0.0);
    points.humidity.assign(size_t(pointCount), TextDataFile::Missing);
    points.temperature.assign(size_t(pointCount), TextDataFile::Missing);
    points.filled = 0;
    points.undated = 0;
}

PointsSpan spanOf(TextFilePoints &points)
{
    return {points.x.data(), points.humidity.data(), points.temperature.data(), qint64(points.x.size())};
}

} // namespace

Result<> TextDataFile::readPoints(QIODevice &in, QChar separator, const DateTimeText &texts, qint64 pointCount,
                                        TextFilePoints &points, const TextProgress &progress)
{
    pointCount = qBound<qint64>(0, pointCount, MaxLines);
    preparePoints(points, pointCount);
    LineReader reader(in);
    const SpanRead r = readSpan(reader, separator, texts, spanOf(points),
                                [&](qint64 q) { return !progress || progress(q); });
    points.filled = r.filled;
    points.undated = r.undated;
    if (r.cancelled)
        return fail(ErrorCode::Cancelled, QString());
    if (reader.lineTooLong()) {
        qCInfo(lcFiles).noquote() << "refused" << nameOf(in) << "- a line runs on without a break";
        return fail(ErrorCode::NotData, notDataFileMessage(nameOf(in)));
    }
    if (progress)
        progress(r.filled);
    return {};
}

std::optional<Result<>> TextDataFile::readPointsInHalves(QFile &file, QChar separator, const DateTimeText &texts,
                                                         qint64 pointCount, TextFilePoints &points,
                                                         const TextProgress &progress)
{
    // A long file: each half of its lines read on a thread of its own, the
    // second half's points into room of their own and then after the
    // first's.
    const qint64 size = file.size();
    if (pointCount < qint64(Halves::SplitFrom) || pointCount > MaxLines || size <= 0)
        return std::nullopt;
    uchar *mapped = file.map(0, size);
    if (!mapped)
        return std::nullopt;
    const auto unmap = qScopeGuard([&] { file.unmap(mapped); });
    const char *data = reinterpret_cast<const char *>(mapped);
    const auto *middle = static_cast<const char *>(std::memchr(data + size / 2, '\n', size_t(size - size / 2)));
    if (!middle)
        return std::nullopt;
    const qint64 split = middle + 1 - data;

    preparePoints(points, pointCount);
    // The mapped bytes, not a copy of them.
    QByteArray halves[2] = {QByteArray::fromRawData(data, split), QByteArray::fromRawData(data + split, size - split)};
    QBuffer devices[2] = {QBuffer(&halves[0]), QBuffer(&halves[1])};
    std::optional<LineReader> readers[2];
    for (int k = 0; k < 2; ++k) {
        devices[k].open(QIODevice::ReadOnly);
        readers[k].emplace(devices[k]);
    }
    const std::unique_ptr<double[]> secondX(new double[size_t(pointCount)]);
    const std::unique_ptr<float[]> secondHumidity(new float[size_t(pointCount)]);
    const std::unique_ptr<float[]> secondTemperature(new float[size_t(pointCount)]);
    const PointsSpan spans[2] = {spanOf(points),
                                 {secondX.get(), secondHumidity.get(), secondTemperature.get(), pointCount}};
    SpanRead read[2];
    std::atomic<qint64> secondDone{0};
    std::atomic<bool> cancel{false};
    Halves::both([&](int k) {
        if (k == 0) {
            read[0] = readSpan(*readers[0], separator, texts, spans[0], [&](qint64 q) {
                const bool going = !cancel.load() && (!progress || progress(q + secondDone.load()));
                if (!going)
                    cancel = true;
                return going;
            });
        } else {
            read[1] = readSpan(*readers[1], separator, texts, spans[1], [&](qint64 q) {
                secondDone = q;
                return !cancel.load();
            });
        }
    });
    const qint64 firstFilled = read[0].filled;
    const qint64 secondFilled = read[1].filled;
    if (cancel || read[0].cancelled || read[1].cancelled) {
        points.filled = firstFilled;
        points.undated = read[0].undated;
        return Result<>(fail(ErrorCode::Cancelled, QString()));
    }
    if (readers[0]->lineTooLong() || readers[1]->lineTooLong()) {
        qCInfo(lcFiles).noquote() << "refused" << file.fileName() << "- a line runs on without a break";
        return Result<>(fail(ErrorCode::NotData, notDataFileMessage(file.fileName())));
    }
    // The first pass stops at an empty line, the second reads on past it
    // up to the count of lines before it: when the file holds more points
    // than that, one pass over the lines tells which.
    if (firstFilled + secondFilled > pointCount)
        return std::nullopt;
    points.filled = firstFilled + secondFilled;
    points.undated = read[0].undated + read[1].undated;
    // The second half's points right after the first half's, and the time a
    // line after its last point left for the next one (a line that is no
    // point may hold one).
    const qint64 times = std::min(secondFilled + 1, pointCount - firstFilled);
    const qint64 inherits = read[1].firstTimeRead ? 0 : 1;
    std::copy_n(secondX.get() + inherits, times - inherits, points.x.data() + firstFilled + inherits);
    std::copy_n(secondHumidity.get(), secondFilled, points.humidity.data() + firstFilled);
    std::copy_n(secondTemperature.get(), secondFilled, points.temperature.data() + firstFilled);
    // The second half's first point took its time from the first half.
    if (inherits && secondFilled > 0 && points.x[size_t(firstFilled)] != 0.0)
        --points.undated;
    if (progress)
        progress(points.filled);
    return Result<>{};
}

Result<> TextDataFile::read(const QString &path, QChar separator, const DateTimeText &texts,
                            TextFileExtent &extent, TextFilePoints &points, const TextProgress &progress)
{
    QFile file(path);
    if (Result<> opened = openForReading(file); !opened) {
        qCInfo(lcFiles).noquote() << "cannot open" << path << "-" << opened.message();
        return fail(ErrorCode::Unreadable, cannotOpenMessage(path));
    }
    // A CSV written for spreadsheets separates its fields with ';' (its
    // decimal separator may be the comma): the first line tells.
    if (separator == u',') {
        const QByteArray head = file.peek(4 * MaxLineLength);
        const qsizetype end = head.indexOf('\n');
        if (head.left(end < 0 ? head.size() : end).contains(';'))
            separator = QChar(u';');
    }
    Result<TextFileExtent> scanned = scan(file, separator, texts);
    if (!scanned)
        return scanned.failure();
    extent = *scanned;
    if (!file.seek(0)) {
        qCInfo(lcFiles).noquote() << "cannot read" << path << "again -" << file.errorString();
        return fail(ErrorCode::Unreadable, cannotOpenMessage(path));
    }
    if (std::optional<Result<>> inHalves = readPointsInHalves(file, separator, texts, extent.rows, points, progress))
        return *inHalves;
    return readPoints(file, separator, texts, extent.rows, points, progress);
}
