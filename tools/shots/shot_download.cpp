// Drives the download command of the real main window against kv518-sim:
// the progress window mid-transfer (alone and over the main window), the error
// dialog after a hang-up (read error) and after a data set that runs past the
// memory (data error), and the main window once data set 0 is shown.
#include "core/app/MainOptions.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/download/DownloadController.h"
#include "gui/download/TfrmErr.h"
#include "gui/download/TfrmScope.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <memory>

namespace {

using Shots::save;
using Shots::settle;

// The screen area of a window and what floats above it.
QPixmap screenOf(QWidget &w)
{
    const QRect r = w.frameGeometry();
    return w.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
}

// A kv518-sim process behind a fixed link path.
class Sim
{
public:
    explicit Sim(const QStringList &arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(KV518_SIM_PATH), arguments);
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Sim()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(10000);
    }
    bool started() const { return !m_path.isEmpty(); }

private:
    QProcess m_process;
    QString m_path;
};

// Shows each error dialog, saves it, and brings the meter back for the next
// attempt: first with a data set running past the memory, then sound.
class DownloadPrompter : public WidgetPrompter
{
public:
    DownloadPrompter(std::unique_ptr<Sim> &sim, QString link)
        : m_sim(sim)
        , m_link(std::move(link))
    {
    }

    int exec(QDialog &dialog) override
    {
        auto *err = qobject_cast<TfrmErr *>(&dialog);
        if (!err)
            return QDialog::Rejected;
        dialog.show();
        settle(300);
        ++m_errors;
        save(dialog.grab(), m_errors == 1 ? QStringLiteral("download_error_read.png")
                                          : QStringLiteral("download_error_data.png"));
        dialog.hide();
        m_sim.reset();
        if (m_errors == 1)
            m_sim = std::make_unique<Sim>(QStringList{"--link", m_link, "--sets", "3", "--samples", "100", "--run-past-image"});
        else
            m_sim = std::make_unique<Sim>(QStringList{"--link", m_link, "--sets", "3", "--samples", "240", "--seed", "518"});
        return m_errors <= 2 ? TfrmErr::Retry : TfrmErr::Cancel;
    }

private:
    std::unique_ptr<Sim> &m_sim;
    QString m_link;
    int m_errors = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);

    // At wire speed, and the line dies two thirds into the memory.
    const QString link = folder.filePath(QStringLiteral("kv518"));
    auto sim = std::make_unique<Sim>(
        QStringList{"--link", link, "--realtime", "--sets", "3", "--samples", "240", "--seed", "518", "--hangup-after", "2600"});
    if (!sim->started()) {
        std::fprintf(stderr, "kv518-sim did not start\n");
        return 1;
    }

    DownloadPrompter prompter(sim, link);
    folder.setPrompter(prompter);
    AppContext &ctx = folder.ctx();
    MainOptions options = Harness::testMainOptions();
    options.extraPorts = {link};
    auto main = Harness::startMainWindow(ctx, options, QSize(1366, 860), 20000);
    TfrmMain &w = *main;
    w.move(0, 0);
    settle(1000);

    bool progressShot = false;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &w, [&] {
        TfrmScope *p = w.downloads().progressWindow();
        if (progressShot || !p || p->Progress1->maximum() <= 1 || p->Progress1->value() < p->Progress1->maximum() / 3)
            return;
        progressShot = true;
        save(p->grab(), QStringLiteral("download_progress.png"));
        save(screenOf(w), QStringLiteral("download_progress_over_main.png"));
    });
    sampler.start(20);

    QEventLoop done;
    QObject::connect(&w.downloads(), &DownloadController::finished, &done, &QEventLoop::quit);
    QTimer::singleShot(0, w.btnDataLogger, &QToolButton::click);
    QTimer::singleShot(60000, &done, &QEventLoop::quit);
    done.exec();
    sampler.stop();

    settle(1500);
    save(w.grab(), QStringLiteral("download_done.png"));
    if (!progressShot || !w.downloadView()) {
        std::fprintf(stderr, "the download did not show its progress or its data\n");
        return 1;
    }
    w.session().discardUnsaved();
    return 0;
}
