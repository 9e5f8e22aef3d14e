#include "MainWindowFixture.h"

#include "chart/ChartWidget.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "gui/dataview/StatisticsPanel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>

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
    QSignalSpy searched(w.get(), &TfrmMain::searchFinished);
    if (size.isValid())
        w->resize(size);
    w->show();
    if (!searched.wait(waitMs))
        qWarning("the start-up search did not end");
    return w;
}

ShownView shownView(const TfrmGraph &v)
{
    ShownView s;
    const DataSetListModel &sets = *v.dataSetListModel;
    for (int r = 0; r < sets.rowCount(); ++r)
        for (int c = 0; c < sets.columnCount(); ++c)
            s.setList << sets.text(r, c);
    s.x = v.PESGraph1->model().state().x;
    s.y = v.PESGraph1->model().state().y;
    s.strip << v.txtStartTime->text() << v.txtSamplingRate->currentText() << v.txtDataNo->text()
            << v.panel()->txtT1Max->text() << v.panel()->txtCursorA->text()
            << QString::number(v.dataListModel->rowCount());
    return s;
}
