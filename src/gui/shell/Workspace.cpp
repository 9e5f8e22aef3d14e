#include "gui/shell/Workspace.h"

#include "chart/ChartWidget.h"
#include "core/data/DateTimeText.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/PrepareChart.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/DownloadSession.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>

Workspace::Workspace(AppContext &ctx, QMdiArea &area, QWidget &window, DownloadSession &session, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_area(area)
    , m_window(window)
    , m_session(session)
{
    setObjectName(QStringLiteral("Workspace"));
}

QString Workspace::dialogFolder() const
{
    return m_userDataFolder.isEmpty() ? m_ctx.folders().programFolder() : m_userDataFolder;
}

TfrmGraph *Workspace::activeDataView() const
{
    QMdiSubWindow *sub = m_area.currentSubWindow();
    return sub ? qobject_cast<TfrmGraph *>(sub->widget()) : nullptr;
}

TfrmGraph &Workspace::createDownloadView()
{
    auto *view = new TfrmGraph(m_ctx, &m_session, TfrmGraph::Role::Download);
    view->setAttribute(Qt::WA_DeleteOnClose);
    m_downloadView = view;
    QMdiSubWindow *sub = m_area.addSubWindow(view);
    sub->setWindowIcon(m_window.windowIcon());
    sub->showNormal();
    const QSize frame = sub->size() - view->size();
    sub->setGeometry(0, 0, view->openingWidth() + frame.width(), qMax(200, m_area.viewport()->height() - 50));

    const double now = FrameworkTime::fromDateTime(QDateTime::currentDateTime());
    PrepareChart(m_ctx, *view->PESGraph1, 2, 100.0f, -20.0f, now + 500.0 / FrameworkTime::SecondsPerDay, now, 500);
    // Notes and crosses start out available only on one shared axis.
    const bool split = view->PESGraph1->model().multiAxesProportions(0) != 1.0;
    view->ToolButton5->setEnabled(!split);
    view->ToolButton9->setEnabled(!split);
    view->PESGraph1->model().edit([](ChartState &s) { s.looks.allowGraphAnnotHotSpots = true; });
    return *view;
}

TfrmGraph &Workspace::ensureDownloadView(bool fullWidth)
{
    if (m_downloadView) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(m_downloadView->parentWidget())) {
            sub->showNormal();
            sub->show();
        }
        return *m_downloadView;
    }
    TfrmGraph &view = createDownloadView();
    if (fullWidth) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(view.parentWidget()))
            sub->resize(m_area.viewport()->width(), sub->height());
    }
    return view;
}

TfrmGraph &Workspace::addFileView(const QString &path)
{
    auto *view = new TfrmGraph(m_ctx, &m_session, TfrmGraph::Role::File);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowTitle(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    QMdiSubWindow *sub = m_area.addSubWindow(view);
    sub->setWindowIcon(m_window.windowIcon());
    sub->showNormal();
    // Top left, the main window's width, its client height less 50.
    sub->setGeometry(0, 0, m_window.width(), qMax(200, m_area.viewport()->height() - 50));
    m_area.setActiveSubWindow(sub);
    return *view;
}

TfrmArchive &Workspace::showArchiveWindow(const QString &path)
{
    if (!m_archiveWindow) {
        auto *window = new TfrmArchive(m_ctx, *this, path);
        window->setAttribute(Qt::WA_DeleteOnClose);
        m_archiveWindow = window;
        QMdiSubWindow *sub = m_area.addSubWindow(window);
        sub->setWindowIcon(m_window.windowIcon());
        sub->showNormal();
        sub->setGeometry(0, 0, m_area.viewport()->width(), qMax(200, m_area.viewport()->height() - 50));
    }
    if (auto *sub = qobject_cast<QMdiSubWindow *>(m_archiveWindow->parentWidget())) {
        sub->showNormal();
        m_area.setActiveSubWindow(sub);
    }
    return *m_archiveWindow;
}

void Workspace::activate(TfrmGraph &view)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(view.parentWidget()))
        m_area.setActiveSubWindow(sub);
}

bool Workspace::documentsAgreeToClose()
{
    // QMdiArea does not ask its windows; each answers the question in its own
    // closeEvent, and stays open until the main window really closes.
    const QList<QMdiSubWindow *> windows = m_area.subWindowList();
    for (QMdiSubWindow *w : windows) {
        QWidget *document = w->widget() ? w->widget() : w;
        QCloseEvent ask;
        QCoreApplication::sendEvent(document, &ask);
        if (!ask.isAccepted())
            return false;
    }
    return true;
}
