#include "ImageBuilder.h"

#include "core/data/LoggerImage.h"

#include <QtEndian>

namespace {
constexpr int kSampleStart = 320;
}

ImageSet &ImageSet::at(const QDateTime &start)
{
    year = quint8(start.date().year() - 2000);
    month = quint8(start.date().month());
    day = quint8(start.date().day());
    hour = quint8(start.time().hour());
    minute = quint8(start.time().minute());
    second = quint8(start.time().second());
    return *this;
}

ImageSet &ImageSet::ramp(int n, int h0, int dh, int t0, int dt)
{
    for (int i = 0; i < n; ++i)
        add(qint16(h0 + i * dh), qint16(t0 + i * dt));
    return *this;
}

ImageBuilder &ImageBuilder::add(const ImageSet &set)
{
    m_sets.append(set);
    return *this;
}

ImageBuilder &ImageBuilder::unusedBytes(quint8 value)
{
    m_unused = value;
    return *this;
}

QByteArray ImageBuilder::buildExact() const
{
    QByteArray image(kSampleStart, char(m_unused));
    // Directory entries after the last set stay zero: that ends the directory.
    image.replace(16, 240, QByteArray(240, '\0'));
    qint64 start = kSampleStart;
    for (int k = 0; k < m_sets.size() && k < 15; ++k) {
        const ImageSet &s = m_sets.at(k);
        QByteArray samples;
        for (const ImageSet::Sample &v : s.samples) {
            char b[4];
            qToLittleEndian<qint16>(v.humidity, b);
            qToLittleEndian<qint16>(v.temperature, b + 2);
            samples.append(b, 4);
        }
        samples.append(QByteArray(s.extraBytes, char(0x5A)));
        const quint32 end = s.endAddress.value_or(quint32(start + samples.size()));
        LoggerImage::TDataSetEntry entry;
        entry.flags = s.flags;
        entry.intervalCode = s.intervalCode;
        entry.year = s.year;
        entry.month = s.month;
        entry.day = s.day;
        entry.hour = s.hour;
        entry.minute = s.minute;
        entry.second = s.second;
        entry.endAddress = end;
        entry.write(image, k);
        // The bytes the program never reads carry a marker of the test's choice.
        uchar *e = reinterpret_cast<uchar *>(image.data()) + LoggerImage::entryOffset(k);
        e[0] = e[10] = e[11] = m_unused;
        image.append(samples);
        start += samples.size();
    }
    return image;
}

QByteArray ImageBuilder::build() const
{
    QByteArray image = buildExact();
    const qsizetype padded = (image.size() + 63) / 64 * 64;
    image.append(QByteArray(padded - image.size(), char(0xFF)));
    return image;
}

ImageBuilder ImageBuilder::sampleCollection()
{
    ImageSet first;
    first.at(QDateTime(QDate(2009, 3, 1), QTime(10, 20, 0))).every(60);
    const qint16 humidity[] = {450, 500, 562, 530, 480, 470, 562, 400, 410, 420};
    const qint16 temperature[] = {215, 220, 230, 240, 250, 13701, 245, 235, 225, -150};
    for (int i = 0; i < 10; ++i)
        first.add(humidity[i], temperature[i]);

    ImageSet second;
    second.at(QDateTime(QDate(2010, 7, 15), QTime(23, 50, 0))).every(0x002C).fahrenheit();
    second.add(600, 750).add(610, 760).add(655, 770).add(640, 765).add(630, 700);

    ImageSet third;
    third.at(QDateTime(QDate(2021, 12, 31), QTime(23, 59, 58))).every(1);
    third.add(-32768, -200).add(-32768, -2000).add(-32768, -2001).add(-32768, 0).add(-32768, 5).add(-32768, 13700);

    ImageBuilder b;
    b.unusedBytes(0xA5).add(first).add(second).add(third);
    return b;
}
