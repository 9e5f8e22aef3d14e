// Opens a collection holding one data set of a million samples in the main
// window: time until the chart, the data list and the statistics are shown
// (target < 1 s), and the memory it adds (target < 150 MB); then the cost of
// the steps a user takes next.
#include "BenchReport.h"

#include "chart/ChartWidget.h"
#include "core/app/MainOptions.h"
#include "core/chart/DataListModel.h"
#include "core/data/LoggerImage.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kSamples = 1'000'000;

QByteArray millionSampleImage()
{
    const qint64 end = LoggerImage::SampleStart + qint64(kSamples) * LoggerImage::SampleBytes;
    QByteArray image(int(LoggerImage::roundUpToPacket(quint64(end))), '\0');
    uchar *e = reinterpret_cast<uchar *>(image.data()) + LoggerImage::DirectoryStart;
    qToLittleEndian<quint16>(1, e + 2);   // every second
    e[4] = 24;
    e[5] = 5;
    e[6] = 1;
    qToLittleEndian<quint32>(quint32(end), e + 12);
    uchar *p = reinterpret_cast<uchar *>(image.data()) + LoggerImage::SampleStart;
    for (int i = 0; i < kSamples; ++i, p += 4) {
        qToLittleEndian<qint16>(qint16(500 + std::lround(150 * std::sin(i / 5000.0))), p);
        qToLittleEndian<qint16>(qint16(220 + std::lround(40 * std::cos(i / 7000.0))), p + 2);
    }
    return image;
}

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void processEvents()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

class OpenPrompter : public WidgetPrompter
{
public:
    explicit OpenPrompter(QString path) : m_path(std::move(path)) {}
    int exec(QDialog &) override { return TfrmOpenSave::OK; }
    QString chooseFile(QFileDialog &) override { return m_path; }

private:
    QString m_path;
};

template <typename F> double timedMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    const QString path = folder.filePath(QStringLiteral("million.518"));
    OpenPrompter prompter(path);
    folder.setPrompter(prompter);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(millionSampleImage()) < 0)
            return 1;
    }

    auto main = Harness::startMainWindow(folder.ctx(), Harness::testMainOptions(), QSize(1366, 860), 60000);
    TfrmMain &w = *main;
    processEvents();

    const long before = rssKiB();
    const double openMs = timedMs([&] { w.btnOpenClick(); });
    const long after = rssKiB();

    TfrmGraph &v = *w.downloadView();
    BenchReport report;
    std::printf("data set of %d samples: chart %d points, data list %d rows, Data No. %s, AVG %s\n", kSamples,
                v.PESGraph1->model().points(), v.dataListModel->rowCount(), qPrintable(v.txtDataNo->text()),
                qPrintable(v.panel()->txtT1Avg->text()));
    report.figure("open until chart, list and statistics shown", openMs, "ms", 1000);
    report.figure("memory added by the open", double(after - before) / 1024.0, "MB", 150);

    const double scrollMs = timedMs([&] {
        v.Grid3->verticalScrollBar()->setValue(v.Grid3->verticalScrollBar()->maximum());
        v.Grid3->viewport()->repaint();
    });
    report.info("data list scrolled to its last row and painted", scrollMs, "ms");
    const double selectMs = timedMs([&] { v.SelectPoint(kSamples - 1); });
    report.info("SelectPoint (cursor statistics over 333 333, redraw)", selectMs, "ms");
    const double tabMs = timedMs([&] { v.panel()->TabControl1->setCurrentIndex(1); });
    report.info("tab change (whole-set and cursor statistics)", tabMs, "ms");
    const double lineMs = timedMs([&] {
        ChartModel &m = v.PESGraph1->model();
        VertLineAnnotation line = m.vertLineAnnotation(1);
        line.x = m.xDataII(0, 500000);
        m.setVertLineAnnotation(1, line);
        v.PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    });
    report.info("dragged cursor line moved and repainted", lineMs, "ms");
    return report.exitCode();
}
