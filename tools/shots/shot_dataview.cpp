// Renders the main window with the download view showing the sample
// collection (samples/demo.518): data set list, data list, chart and
// statistics; the temperature tab; the dew point and absolute humidity tabs;
// the Open choice and "Range" dialogs; and
// the view with alarm limits set (both tabs, split and unsplit) with the
// "Limits" dialog.
#include "core/app/MainOptions.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/dataview/TfrmLimits.h"
#include "gui/dataview/TfrmSetupScale.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"
#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QCheckBox>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

using Shots::save;
using Shots::settle;

// Chooses the sample collection in the Open command's dialogs.
class SamplePrompter : public WidgetPrompter
{
public:
    int exec(QDialog &dialog) override
    {
        if (qobject_cast<TfrmOpenSave *>(&dialog)) {
            dialog.show();
            settle(200);
            save(dialog.grab(), QStringLiteral("dataview_open_choice.png"));
            dialog.hide();
            return TfrmOpenSave::OK;
        }
        return QDialog::Rejected;
    }
    QString chooseFile(QFileDialog &) override
    {
        return QDir(QStringLiteral(KV518_SAMPLES_DIR)).filePath(QStringLiteral("demo.518"));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    SamplePrompter prompter;
    folder.setPrompter(prompter);
    AppContext &ctx = folder.ctx();

    MainOptions options = Harness::testMainOptions();
    auto main = Harness::startMainWindow(ctx, options, QSize(1366, 860), 20000);
    TfrmMain &w = *main;
    settle();
    save(w.grab(), QStringLiteral("dataview_empty.png"));

    w.btnOpenClick();
    settle(500);
    if (!w.downloadView()) {
        std::fprintf(stderr, "no download view\n");
        return 1;
    }
    save(w.grab(), QStringLiteral("dataview.png"));

    TfrmGraph &view = *w.downloadView();
    view.Grid2->selectRow(1);
    view.panel()->TabControl1->setCurrentIndex(1);
    settle();
    save(w.grab(), QStringLiteral("dataview_set2_temperature.png"));
    // The channels derived from both readings, on the first set.
    view.Grid2->selectRow(0);
    view.panel()->TabControl1->setCurrentIndex(StatisticsPanel::DewPointTab);
    settle();
    save(w.grab(), QStringLiteral("dataview_dew_point.png"));
    view.panel()->TabControl1->setCurrentIndex(StatisticsPanel::AbsoluteHumidityTab);
    settle();
    save(w.grab(), QStringLiteral("dataview_absolute_humidity.png"));

    TfrmSetupScale range(&w);
    range.setLimits(-20, 100, -20, 100);
    range.show();
    settle(200);
    save(range.grab(), QStringLiteral("dataview_range.png"));
    range.hide();

    // Limits that the first set's readings cross on both channels.
    view.Grid2->selectRow(0);
    view.panel()->TabControl1->setCurrentIndex(0);
    AlarmSettings limits = ctx.alarmLimits().settings();
    limits.setLimits(0, {42.0, 58.0}, std::nullopt);
    limits.setLimits(1, {20.0, 24.5}, TemperatureUnit::Celsius);
    if (const Result<> saved = ctx.alarmLimits().apply(limits); !saved)
        std::fprintf(stderr, "the alarm limits could not be saved: %s\n", qPrintable(saved.message()));
    settle();
    save(w.grab(), QStringLiteral("dataview_limits_humidity.png"));
    view.panel()->TabControl1->setCurrentIndex(1);
    settle();
    save(w.grab(), QStringLiteral("dataview_limits_temperature.png"));
    view.chkSplit->click();
    settle();
    save(w.grab(), QStringLiteral("dataview_limits_unsplit.png"));
    view.chkSplit->click();
    // The Fahrenheit set shows the limits converted.
    view.Grid2->selectRow(1);
    settle();
    save(w.grab(), QStringLiteral("dataview_limits_fahrenheit.png"));

    TfrmLimits dialog(prompter, view.texts(), false, &w);
    dialog.setValues({limits.limits[0], limits.limits[1], limits.activationEnergy, {}, TemperatureUnit::Celsius},
                     TemperatureUnit::Celsius);
    dialog.show();
    settle(200);
    save(dialog.grab(), QStringLiteral("dataview_limits_dialog.png"));
    TfrmLimits fileDialog(prompter, view.texts(), true, &w);
    fileDialog.setValues({limits.limits[0], limits.limits[1], limits.activationEnergy, {}, TemperatureUnit::Celsius},
                         TemperatureUnit::Celsius);
    fileDialog.show();
    settle(200);
    save(fileDialog.grab(), QStringLiteral("dataview_limits_dialog_file.png"));
    return 0;
}
