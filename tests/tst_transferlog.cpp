// The transfer log: what each chunk is named after the requests before it,
// what its bounds keep, the JSON lines it writes, and the port object's part
// (its chunks and its lines in kv518.link).
#include "core/link/ComPort.h"
#include "core/link/MemoryLine.h"
#include "core/link/MeterMessages.h"
#include "core/link/PortFactory.h"
#include "core/link/TransferLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray packet(char fill)
{
    QByteArray p(Meter::PacketLength, fill);
    p[0] = Meter::StartByte;
    return p;
}

const QByteArray Frame = Meter::LIVE_FRAME(215, 480, 3, 2, 0);

// Each chunk's name, with "#k" for the packet it concerns.
QStringList names(const TransferLog &log)
{
    QStringList out;
    for (const TransferLog::Entry &e : log.entries())
        out << (e.packet >= 0 ? QStringLiteral("%1#%2").arg(e.message).arg(e.packet) : e.message);
    return out;
}

// A download of n packets, each accepted.
void download(TransferLog &log, TransferChannel &channel, int n)
{
    channel.sent(log, QStringLiteral("P"), Meter::DOWNLOAD_REQUEST);
    for (int k = 0; k < n; ++k) {
        channel.received(log, QStringLiteral("P"), packet(char(k)));
        channel.sent(log, QStringLiteral("P"), Meter::ACK);
    }
}

QStringList captured;
void capture(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (QByteArray(context.category) == "kv518.link")
        captured << text;
}

} // namespace

class TestTransferLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chunksAreNamedByWhatWasAsked_data();
    void chunksAreNamedByWhatWasAsked();
    void keepsTheLatestDownloadBesideTheRecentTraffic();
    void jsonLinesCarryEveryField();
    void portRecordsItsChunksAndLogsItsEvents();
};

void TestTransferLog::chunksAreNamedByWhatWasAsked_data()
{
    // "> hex" is written by the program, "< hex" read by it.
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("expected");
    const QString frame = QString::fromLatin1(Frame.toHex());
    const QString good = QString::fromLatin1(packet('\1').toHex());
    QTest::newRow("identify") << QStringList{"> ef4dfe", "< ef353138fe"}
                              << QStringList{"IDENTIFY_REQUEST", "IDENTIFY_REPLY"};
    QTest::newRow("nothing asked yet") << QStringList{"< 0102"} << QStringList{"STRAY_BYTES"};
    QTest::newRow("a live frame in two reads")
        << QStringList{"> 00", "> ef41fe", "< " + frame.left(8), "< " + frame.mid(8)}
        << QStringList{"WAKE_BYTE", "LIVE_REQUEST", "LIVE_FRAME", "LIVE_FRAME"};
    QTest::newRow("noise before a frame, then noise alone")
        << QStringList{"> 0241c103", "< 010203" + frame, "< 010203"}
        << QStringList{"FRAMED_LIVE_REQUEST", "LIVE_FRAME", "STRAY_BYTES"};
    QTest::newRow("setup")
        << QStringList{"> ef5301fe", "< ef59fe", "> ef49fe", "< ef07fe", "> ef54fe", "< ef180301080000fe"}
        << QStringList{"SET_UNIT", "CONFIRM_REPLY", "INTERVAL_REQUEST", "INTERVAL_REPLY", "CLOCK_REQUEST",
                       "CLOCK_FRAME"};
    QTest::newRow("packets, a rejected one, a stale piece, then live again")
        << QStringList{"> ef44fe", "< " + good, "> ef79fe", "< " + good, "> ef6efe", "< " + good, "> ef79fe",
                       "< 0102", "> ef6efe", "> ef41fe", "< " + frame}
        << QStringList{"DOWNLOAD_REQUEST", "DATA_PACKET#0", "ACK#0", "DATA_PACKET#1", "NAK#1", "DATA_PACKET#1",
                       "ACK#1", "STRAY_BYTES", "NAK#2", "LIVE_REQUEST", "LIVE_FRAME"};
}

void TestTransferLog::chunksAreNamedByWhatWasAsked()
{
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, expected);
    TransferLog log;
    TransferChannel channel;
    for (const QString &c : chunks) {
        const QByteArray bytes = QByteArray::fromHex(c.mid(2).toLatin1());
        if (c.startsWith(u'>'))
            channel.sent(log, QStringLiteral("P"), bytes);
        else
            channel.received(log, QStringLiteral("P"), bytes);
    }
    QCOMPARE(names(log), expected);
}

void TestTransferLog::keepsTheLatestDownloadBesideTheRecentTraffic()
{
    // The download stays whole beside the last 100 bytes of the live
    // polling after it: 7 requests and frames, 91 bytes.
    TransferLog log(TransferLog::Limits{100, 1 << 20});
    TransferChannel channel;
    channel.sent(log, QStringLiteral("P"), Meter::LIVE_REQUEST);
    download(log, channel, 40);
    for (int i = 0; i < 20; ++i) {
        channel.sent(log, QStringLiteral("P"), Meter::LIVE_REQUEST);
        channel.received(log, QStringLiteral("P"), Frame);
    }
    QStringList live;
    for (int i = 0; i < 7; ++i)
        live << QStringLiteral("LIVE_REQUEST") << QStringLiteral("LIVE_FRAME");
    const QStringList kept = names(log);
    QCOMPARE(kept.first(), QStringLiteral("DOWNLOAD_REQUEST"));
    QCOMPARE(kept.mid(1, 80).filter(QStringLiteral("DATA_PACKET")).size(), 40);
    QCOMPARE(kept.mid(81), live);
    // The next download takes its place.
    download(log, channel, 2);
    QCOMPARE(names(log), QStringList({"DOWNLOAD_REQUEST", "DATA_PACKET#0", "ACK#0", "DATA_PACKET#1", "ACK#1"}));

    // One beyond its bound keeps its beginning, and its end among the recent chunks.
    TransferLog small(TransferLog::Limits{200, 2000});
    download(small, channel, 100);
    const QList<TransferLog::Entry> entries = small.entries();
    QCOMPARE(entries.first().message, QStringLiteral("DOWNLOAD_REQUEST"));
    QCOMPARE(entries.last().packet, 99);
    int gaps = 0;
    for (qsizetype i = 1; i < entries.size(); ++i)
        gaps += entries.at(i).number != entries.at(i - 1).number + 1;
    QCOMPARE(gaps, 1);
}

void TestTransferLog::jsonLinesCarryEveryField()
{
    TransferLog log;
    TransferChannel channel;
    const QString odd = QStringLiteral("/dev/a \"quoted\\\" p\u00f6rt");
    channel.sent(log, odd, Meter::DOWNLOAD_REQUEST);
    channel.received(log, odd, packet('\x7f'));
    channel.sent(log, odd, Meter::NAK);
    const QList<QByteArray> lines = log.toJsonLines().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.last().isEmpty());
    const QList<TransferLog::Entry> entries = log.entries();
    for (int i = 0; i < 3; ++i) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(lines.at(i), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines.at(i).constData());
        const TransferLog::Entry &e = entries.at(i);
        QCOMPARE(o.value("n").toInteger(), qint64(i + 1));
        QCOMPARE(o.value("ms").toInteger(), e.ms);
        QVERIFY(QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs).isValid());
        QCOMPARE(o.value("port").toString(), odd);
        QCOMPARE(o.value("dir").toString(), i == 1 ? QStringLiteral("in") : QStringLiteral("out"));
        QCOMPARE(o.value("msg").toString(), e.message);
        QCOMPARE(o.contains("packet"), i > 0);
        QCOMPARE(QByteArray::fromHex(o.value("hex").toString().toLatin1()), e.bytes);
    }
    QCOMPARE(entries.at(2).packet, 0);
}

void TestTransferLog::portRecordsItsChunksAndLogsItsEvents()
{
    MemoryLine line(QStringLiteral("MEM-T"));
    PortFactory ports;
    ports.addLine(line);
    line.onWrite = [&](const QByteArray &) { line.deliver(Meter::IDENTIFY_REPLY); };
    ComPort port;
    port.setPortFactory(&ports);

    QLoggingCategory::setFilterRules(QStringLiteral("kv518.link.info=true"));
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    captured.clear();
    port.setDeviceName(QStringLiteral("MEM-NONE"));
    QVERIFY(!port.open());
    QVERIFY(!port.open()); // the poll's retry: no second line
    port.setDeviceName(line.path());
    QVERIFY(port.open());
    QSignalSpy received(&port, &SerialPort::received);
    port.write(Meter::IDENTIFY_REQUEST);
    QVERIFY(received.wait(1000));
    QCOMPARE(port.read(16), Meter::IDENTIFY_REPLY);
    line.setPresent(false);
    QTRY_VERIFY(!port.isOpen());
    QTRY_COMPARE(captured.size(), 3);
    port.close();
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    QCOMPARE(captured.size(), 3);
    QVERIFY2(captured.at(0).startsWith(QLatin1String("cannot open MEM-NONE - ")), qPrintable(captured.at(0)));
    QCOMPARE(captured.at(1), QStringLiteral("opened MEM-T"));
    QCOMPARE(captured.at(2), QStringLiteral("MEM-T failed and was closed - Device removed"));
    const QList<TransferLog::Entry> chunks = ports.transferLog().entries();
    QCOMPARE(chunks.size(), 2);
    QCOMPARE(chunks.at(0).port, line.path());
    QCOMPARE(chunks.at(0).bytes, Meter::IDENTIFY_REQUEST);
    QCOMPARE(chunks.at(1).message, QStringLiteral("IDENTIFY_REPLY"));
}

QTEST_GUILESS_MAIN(TestTransferLog)
#include "tst_transferlog.moc"
