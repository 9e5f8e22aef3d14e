#include "Harness.h"

#include <QDir>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace Harness {

TestContext::TestContext(ProgramFolder layout, Prompter *prompter)
    : m_layout(layout)
{
    if (!prompter) {
        m_scripted = std::make_unique<ScriptedPrompter>();
        prompter = m_scripted.get();
    }
    m_prompter = prompter;
    if (layout == ProgramFolder::Subfolder)
        QDir().mkpath(filePath(QStringLiteral("user")));
    remake(filePath(QStringLiteral("user/")));
}

TestContext::~TestContext() = default;

QString TestContext::programFolder() const
{
    return m_layout == ProgramFolder::Root ? m_dir.path() : filePath(QStringLiteral("program"));
}

void TestContext::remake(const QString &userFolder)
{
    m_userFolder = userFolder;
    m_ctx.reset();
    m_ctx = std::make_unique<AppContext>(*m_prompter, AppFolders(programFolder(), userFolder));
}

void TestContext::setPrompter(Prompter &prompter)
{
    m_prompter = &prompter;
    remake(m_userFolder);
}

void verifyAnswered(const ScriptedPrompter &prompter, bool allAnswered)
{
    QVERIFY2(prompter.unanswered.isEmpty(), qPrintable(prompter.unanswered.join(u'|')));
    if (allAnswered)
        QVERIFY(prompter.allAnswered());
}

MainOptions testMainOptions(const QStringList &extraPorts)
{
    MainOptions options;
    options.listSystemPorts = false;
    options.extraPorts = extraPorts;
    return options;
}

std::unique_ptr<TfrmMain> startMainWindow(AppContext &ctx, const MainOptions &options, QSize size, int waitMs)
{
    auto w = std::make_unique<TfrmMain>(ctx, options);
    if (size.isValid())
        w->resize(size);
    w->show();
    if (!w->searchDone()) {
        QEventLoop loop;
        QObject::connect(w.get(), &TfrmMain::searchFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!w->searchDone())
        qWarning("the start-up search did not end");
    return w;
}

DataView::DataView(AppContext &ctx, QSize size)
    : m_view(std::make_unique<TfrmGraph>(ctx, this))
{
    if (size.isValid())
        m_view->resize(size);
    m_view->show();
}

DataView::~DataView() = default;

Result<> DataView::load(const QByteArray &image)
{
    if (Result<> loaded = m_store.load(image, image.size()); !loaded)
        return loaded;
    m_view->fillDataSetList(m_store);
    m_view->showDataSet(m_store, 0);
    return {};
}

} // namespace Harness
