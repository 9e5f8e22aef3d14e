#include "MainWindowFixture.h"

#include "chart/ChartWidget.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "gui/dataview/StatisticsPanel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableView>

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
