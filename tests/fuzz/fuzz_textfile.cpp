// TXT and CSV data files, both reading passes. The first input byte picks the
// separator, the regional format and the size of the pieces a slow device
// hands over; the rest is the file. Reading in small pieces gives what reading
// at once gives; a file that reads with every date is written back with every
// point (export never stops early), and what is written reads back to the
// same text again (for the files the program writes: no CSV with a decimal
// comma).
#include "FuzzCheck.h"

#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"

#include <QBuffer>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A device that hands over at most a few bytes per read, as a slow disk or
// a network file may.
class Trickle : public QIODevice
{
public:
    Trickle(const QByteArray &bytes, int piece) : m_bytes(bytes), m_piece(piece) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    qint64 size() const override { return m_bytes.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min({maxSize, qint64(m_piece), qint64(m_bytes.size() - m_pos)});
        memcpy(data, m_bytes.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
    int m_piece;
};

struct Reading
{
    // 0 when read whole, else the kind of failure.
    int status = 0;
    TextFileExtent extent;
    TextFilePoints points;
};

bool sameReading(const Reading &a, const Reading &b)
{
    const auto sameBits = [](const auto &x, const auto &y) {
        return x.size() == y.size() && memcmp(x.data(), y.data(), x.size() * sizeof(x[0])) == 0;
    };
    return a.status == b.status && a.extent.rows == b.extent.rows && a.extent.t1 == b.extent.t1
        && a.extent.t2 == b.extent.t2 && a.points.filled == b.points.filled && a.points.undated == b.points.undated
        && sameBits(a.points.x, b.points.x) && sameBits(a.points.humidity, b.points.humidity)
        && sameBits(a.points.temperature, b.points.temperature);
}

// Both passes, each over a fresh device (the second pass reopens the file).
template <typename MakeDevice>
Reading read(MakeDevice make, QChar separator, const DateTimeText &texts)
{
    Reading r;
    const auto statusOf = [](const auto &result) { return result ? 0 : 1 + int(result.code()); };
    auto first = make();
    const Result<TextFileExtent> scanned = TextDataFile::scan(*first, separator, texts);
    r.status = statusOf(scanned);
    if (scanned) {
        r.extent = *scanned;
        auto second = make();
        r.status = statusOf(TextDataFile::readPoints(*second, separator, texts, r.extent.rows, r.points));
    }
    return r;
}

Reading readBytes(const QByteArray &bytes, QChar separator, const DateTimeText &texts)
{
    return read(
        [&] {
            auto b = std::make_unique<QBuffer>();
            b->setData(bytes);
            b->open(QIODevice::ReadOnly);
            return b;
        },
        separator, texts);
}

QByteArray written(const Reading &r, QChar separator, const DateTimeText &texts)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const Result<TextWriteResult> w = TextDataFile::write(out, r.points.x, r.points.humidity, r.points.temperature,
                                                          0, r.points.filled, separator, texts);
    FUZZ_CHECK(w);
    FUZZ_CHECK(w->lines == r.points.filled);
    return out.data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const DateTimeText locales[3] = {DateTimeText(QLocale(QStringLiteral("en_US"))),
                                            DateTimeText(QLocale(QStringLiteral("de_DE"))),
                                            DateTimeText(QLocale::c())};
    const QChar separator = (data[0] & 1) ? u',' : u'\t';
    const DateTimeText &texts = locales[(data[0] >> 1) % 3];
    const int piece = 1 + (data[0] >> 3);
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    const Reading whole = readBytes(bytes, separator, texts);
    const Reading trickled = read([&] { return std::make_unique<Trickle>(bytes, piece); }, separator, texts);
    FUZZ_CHECK(sameReading(whole, trickled));
    FUZZ_CHECK(whole.points.undated <= whole.points.filled);
    if (whole.status != 0 || whole.points.undated > 0)
        return 0;
    // With a decimal comma the program reads a CSV file but never writes
    // one: its fields could not be told apart.
    if (separator == texts.decimalPoint())
        return 0;

    // Export, then open the export: the same text once more.
    const QByteArray text = written(whole, separator, texts);
    const Reading reread = readBytes(text, separator, texts);
    FUZZ_CHECK(reread.status == 0);
    FUZZ_CHECK(reread.points.filled == whole.points.filled);
    FUZZ_CHECK(reread.points.undated == 0);
    FUZZ_CHECK(written(reread, separator, texts) == text);
    return 0;
}
