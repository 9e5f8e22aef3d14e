// Renders the LCD mirror for a few typical live frames.
#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"
#include "gui/live/LcdArtwork.h"
#include "gui/live/TfrmLCD.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QByteArray liveFrame(qint16 temperature, qint16 humidity, quint8 battery, quint8 memory,
                     quint8 status)
{
    return Meter::LIVE_FRAME(qint16(temperature), qint16(humidity), quint8(battery),
                             quint8(memory), quint8(status));
}

bool shoot(TfrmLCD &mirror, const QByteArray &frame, bool rs232, const QString &path, qreal dpr)
{
    mirror.UpdateLcd(decodeLiveFrame(frame));
    mirror.setRs232Visible(rs232);
    QPixmap pixmap(mirror.size() * dpr);
    pixmap.setDevicePixelRatio(dpr);
    mirror.render(&pixmap);
    const bool ok = pixmap.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// All sixteen glyphs side by side, at 2x, to judge the artwork.
bool glyphSheet(const QString &path)
{
    constexpr qreal dpr = 2.0;
    const QSize glyph = LcdArtwork::kGlyphSize;
    QPixmap sheet(QSize(glyph.width() * LcdArtwork::kGlyphCount + 8, glyph.height() + 8) * dpr);
    sheet.setDevicePixelRatio(dpr);
    sheet.fill(LcdArtwork::groundColor());
    QPainter p(&sheet);
    for (int i = 0; i < LcdArtwork::kGlyphCount; ++i)
        p.drawPixmap(4 + i * glyph.width(), 4, LcdArtwork::glyph(i, dpr));
    p.end();
    const bool ok = sheet.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    // BuildLcdLists writes its diagnostic list into the current directory.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    const QByteArray celsius = liveFrame(235, 412, 4, 3, 0x01);
    const QByteArray fahrenheit = liveFrame(-500, 412, 5, 8, 0x0A);
    const QByteArray humidity = liveFrame(235, 350, 2, 0, 0x00);

    bool ok = true;
    const auto shot = [&](const QByteArray &frame, bool rs232, const char *name, qreal dpr, bool stale = false) {
        TfrmLCD mirror;
        mirror.BuildLcdLists();
        mirror.setStale(stale);
        ok = shoot(mirror, frame, rs232, out.filePath(QLatin1String(name)), dpr) && ok;
    };
    shot(celsius, true, "lcd_celsius.png", 1.0);
    shot(fahrenheit, true, "lcd_fahrenheit_negative.png", 1.0);
    shot(humidity, false, "lcd_humidity.png", 1.0);
    // "Off Connection": the last reading, faded.
    shot(celsius, false, "lcd_stale.png", 1.0, true);
    shot(celsius, true, "lcd_celsius_2x.png", 2.0);
    shot(fahrenheit, true, "lcd_fahrenheit_negative_2x.png", 2.0);
    ok = glyphSheet(out.filePath(QStringLiteral("lcd_glyphs_2x.png"))) && ok;
    return ok ? 0 : 1;
}
