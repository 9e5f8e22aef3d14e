// The logger download: the announced total, what the progress window is told,
// and when a transfer counts as read, on a fake port and a fake clock with the
// meter model behind it.
#include "core/data/LoggerDownload.h"
#include "core/link/MeterMessages.h"
#include "core/sim/MeterModel.h"
#include "ClockedFlows.h"
#include "FakeSerialPort.h"
#include "ImageBuilder.h"
#include "Outcome.h"

#include <QtEndian>
#include <QTest>

#include <limits>

namespace {
constexpr qint64 PacketWireMs = 35;

// The meter model behind the fake port. A hang-up makes the line go quiet: no
// byte of a later answer arrives.
void attachModel(FakeSerialPort &port, MeterModel &model)
{
    port.onWrite = [&port, &model, hungUp = false](const QByteArray &bytes) mutable {
        qint64 at = 0;
        for (const MeterModel::Chunk &c : model.receive(bytes)) {
            if (hungUp)
                return;
            at += c.delayMs + PacketWireMs;
            if (!c.bytes.isEmpty())
                port.arriveIn(at, c.bytes);
            hungUp = c.hangUp;
        }
    };
}

// An image whose last data set ends at end (samples up to there).
QByteArray imageEndingAt(quint32 end)
{
    ImageSet set;
    set.ramp(int((end - 320) / 4), 400, 1, 200, 1);
    set.extraBytes = int((end - 320) % 4);
    return ImageBuilder().add(set).build();
}

void setEndAddress(QByteArray &image, int entry, quint32 end)
{
    qToLittleEndian(end, image.data() + 16 + 16 * entry + 12);
}

struct Run
{
    LoggerDownloadResult result;
    QList<DownloadProgress> reports;
    QList<QByteArray> writes;
};

Run download(MeterModel &model)
{
    FakeClock clock;
    FakeSerialPort port(clock);
    attachModel(port, model);
    Run run;
    LoggerDownloadOptions options;
    options.clock = &clock;
    options.progress = [&run](const DownloadProgress &p) { run.reports.append(p); };
    run.result = runDownload(clock, port, options);
    run.writes = port.writes();
    return run;
}

QByteArray padded(QByteArray image)
{
    if (image.size() % 64)
        image.append(64 - image.size() % 64, '\0');
    return image;
}
} // namespace

class TestDownload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void announcedTotal_data();
    void announcedTotal();
    void directoryCountedOnce_data();
    void directoryCountedOnce();
    void shortTransfer_data();
    void shortTransfer();
    void emptyLoggerIsReadButHoldsNoData();
    void endAddressNearFourGibibytesDoesNotWrap();
    void sizeCapIsAReadError();
    void progressBar_data();
    void progressBar();
};

void TestDownload::announcedTotal_data()
{
    QTest::addColumn<quint32>("lastEnd");
    QTest::addColumn<qint64>("total");
    QTest::newRow("1000 rounds up to 1024") << 1000u << qint64(1024);
    QTest::newRow("640 stays 640") << 640u << qint64(640);
    QTest::newRow("641 rounds up to 704") << 641u << qint64(704);
}

void TestDownload::announcedTotal()
{
    QFETCH(quint32, lastEnd);
    QFETCH(qint64, total);
    MeterModel model;
    model.setImage(imageEndingAt(lastEnd));
    const Run run = download(model);

    QCOMPARE(outcome(run.result.result), QStringLiteral("ok"));
    QCOMPARE(run.result.expectedBytes, total);
    QCOMPARE(run.result.received(), total);
    QCOMPARE(run.result.image, model.image());
    QCOMPARE(run.result.setCount, 1);
    QCOMPARE(run.result.end, PacketEnd::Silence);
    QCOMPARE(run.writes.first(), Meter::DOWNLOAD_REQUEST);
    // The total is shown from the packet that completes the directory on.
    for (const DownloadProgress &p : run.reports) {
        QCOMPARE(p.step, PacketStep::Accepted);
        QCOMPARE(p.total, p.received < 256 ? 0 : total);
    }
    QCOMPARE(run.reports.size(), total / 64);
    QCOMPARE(run.reports.last().barValue(), run.reports.last().barMaximum());

    TDataSetStore store;
    QCOMPARE(outcome(store.load(run.result.image, run.result.expectedBytes)), QStringLiteral("ok"));
}

void TestDownload::directoryCountedOnce_data()
{
    QTest::addColumn<int>("badPacket");
    QTest::addColumn<QList<qint64>>("received");
    QTest::addColumn<QList<bool>>("totalKnown");
    QTest::addColumn<QList<bool>>("rejected");
    // A rejection at 256 bytes reports the total it already has; one at 192
    // announces nothing, and the resent packet then completes the directory.
    QTest::newRow("after the directory") << 4 << QList<qint64>{64, 128, 192, 256, 256, 320}
                                         << QList<bool>{false, false, false, true, true, true}
                                         << QList<bool>{false, false, false, false, true, false};
    QTest::newRow("the packet completing it") << 3 << QList<qint64>{64, 128, 192, 192, 256, 320}
                                              << QList<bool>{false, false, false, false, true, true}
                                              << QList<bool>{false, false, false, true, false, false};
}

void TestDownload::directoryCountedOnce()
{
    QFETCH(int, badPacket);
    QFETCH(QList<qint64>, received);
    QFETCH(QList<bool>, totalKnown);
    QFETCH(QList<bool>, rejected);
    MeterModel model;
    model.setImage(MeterModel::generateImage(2, 200));
    MeterFaults faults;
    faults.badChecksumPacket = badPacket;
    model.setFaults(faults);
    const Run run = download(model);

    const qint64 total = padded(model.image()).size();
    QCOMPARE(outcome(run.result.result), QStringLiteral("ok"));
    QCOMPARE(run.result.retries, 1);
    QCOMPARE(run.result.expectedBytes, total);
    QCOMPARE(run.result.image, padded(model.image()));
    QCOMPARE(run.writes.count(Meter::NAK), 1);
    for (qsizetype i = 0; i < received.size(); ++i) {
        const DownloadProgress &p = run.reports.at(i);
        QCOMPARE(p.received, received.at(i));
        QCOMPARE(p.total, totalKnown.at(i) ? total : 0);
        QCOMPARE(p.step == PacketStep::Rejected, rejected.at(i));
    }
}

void TestDownload::shortTransfer_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<qint64>("hangUpAfter");
    QTest::addColumn<int>("alwaysBadPacket");
    QTest::addColumn<bool>("directoryRead");
    QTest::addColumn<qint64>("received");
    QTest::addColumn<QString>("cause"); // %1: the announced total

    const QByteArray image = MeterModel::generateImage(3, 100);
    QTest::newRow("hang-up after 10 packets") << image << qint64(10 * 67 + 20) << -1 << true << qint64(640)
                                              << "The meter went silent after 640 of %1 bytes";
    QTest::newRow("hang-up before the directory") << image << qint64(3 * 67) << -1 << false << qint64(192)
                                                  << "The meter went silent after 192 bytes, before the memory directory was complete";
    QTest::newRow("silent meter") << image << qint64(0) << -1 << false << qint64(0)
                                  << "The meter did not answer the download request";
    QTest::newRow("packet 12 never passes its check") << image << qint64(-1) << 11 << true << qint64(11 * 64)
                                                      << "Packet 12 was rejected 21 times";
    QByteArray lying = image;
    setEndAddress(lying, 2, quint32(image.size() + 500));
    QTest::newRow("directory announces more than sent")
        << lying << qint64(-1) << -1 << true << qint64(padded(image).size())
        << QStringLiteral("The meter went silent after %1 of %2 bytes").arg(padded(image).size()).arg("%1");
}

void TestDownload::shortTransfer()
{
    QFETCH(QByteArray, image);
    QFETCH(qint64, hangUpAfter);
    QFETCH(int, alwaysBadPacket);
    QFETCH(bool, directoryRead);
    QFETCH(qint64, received);
    QFETCH(QString, cause);
    MeterModel model;
    model.setImage(image);
    MeterFaults faults;
    faults.hangUpAfterBytes = hangUpAfter;
    faults.alwaysBadPacket = alwaysBadPacket;
    model.setFaults(faults);
    const Run run = download(model);

    QCOMPARE(outcome(run.result.result), QStringLiteral("transfer"));
    QCOMPARE(run.result.directoryRead, directoryRead);
    QCOMPARE(run.result.received(), received);
    if (!directoryRead)
        QCOMPARE(run.result.expectedBytes, 0);
    else
        QVERIFY(run.result.expectedBytes > received);
    // The failure says why, for the error window and kv518-cli alike.
    QCOMPARE(run.result.result.message(), cause.contains(QLatin1String("%1")) ? cause.arg(run.result.expectedBytes) : cause);
}

void TestDownload::emptyLoggerIsReadButHoldsNoData()
{
    MeterModel model;
    model.setImage(MeterModel::erasedImage());
    const Run run = download(model);

    QCOMPARE(outcome(run.result.result), QStringLiteral("ok"));
    QCOMPARE(run.result.expectedBytes, 0);
    QCOMPARE(run.result.setCount, 0);
    QCOMPARE(run.result.received(), 320);
    for (const DownloadProgress &p : run.reports) {
        QCOMPARE(p.total, 0);
        QCOMPARE(p.barMaximum(), 1);
        QCOMPARE(p.barValue(), 0);
    }
    TDataSetStore store;
    QCOMPARE(outcome(store.load(run.result.image, run.result.expectedBytes)), QStringLiteral("no data"));
}

void TestDownload::endAddressNearFourGibibytesDoesNotWrap()
{
    QByteArray image = MeterModel::generateImage(1, 50);
    setEndAddress(image, 0, 0xFFFFFFF0u);
    MeterModel model;
    model.setImage(image);
    const Run run = download(model);

    QCOMPARE(run.result.expectedBytes, qint64(1) << 32);
    QCOMPARE(outcome(run.result.result), QStringLiteral("transfer"));
    QCOMPARE(run.reports.last().barMaximum(), std::numeric_limits<int>::max());
}

void TestDownload::sizeCapIsAReadError()
{
    // A device that announces a small memory and then never stops sending.
    FakeClock clock;
    FakeSerialPort port(clock);
    const QByteArray image = padded(MeterModel::generateImage(1, 10));
    int sent = 0;
    port.onWrite = [&](const QByteArray &bytes) {
        if (bytes != Meter::DOWNLOAD_REQUEST && bytes != Meter::ACK)
            return;
        const qsizetype at = qsizetype(sent++) * 64;
        port.arriveIn(1, MeterModel::packet(at < image.size() ? image.mid(at, 64) : QByteArray(64, 'x')));
    };
    LoggerDownloadOptions options;
    options.clock = &clock;
    const LoggerDownloadResult r = runDownload(clock, port, options);

    QCOMPARE(r.end, PacketEnd::SizeCap);
    QVERIFY(r.received() > r.expectedBytes);
    QCOMPARE(outcome(r.result), QStringLiteral("transfer"));
}

void TestDownload::progressBar_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("before the total") << qint64(128) << qint64(0) << 1 << 0;
    QTest::newRow("directory in") << qint64(256) << qint64(1024) << 1024 << 256;
    QTest::newRow("complete") << qint64(1024) << qint64(1024) << 1024 << 1024;
    QTest::newRow("more than announced") << qint64(1088) << qint64(1024) << 1024 << 1024;
}

void TestDownload::progressBar()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(int, maximum);
    QFETCH(int, value);
    const DownloadProgress p{received, total, PacketStep::Accepted};
    QCOMPARE(p.barMaximum(), maximum);
    QCOMPARE(p.barValue(), value);
}

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
