#pragma once

#include "core/chart/AnnotationModes.h"
#include "core/data/AlarmLimits.h"
#include "core/data/Calibration.h"
#include "core/data/DateTimeText.h"
#include "core/data/DerivedChannels.h"
#include "core/data/Statistics.h"
#include "core/report/ReportData.h"

#include <QWidget>

#include <memory>
#include <optional>

class AppContext;
class ChartWidget;
class CursorController;
class DataListModel;
class DataSetListModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QToolBar;
class QToolButton;
class StatisticsPanel;
class TDataSetStore;
class TfrmGraph;

// What a data view needs from the main window: the store behind the download
// view, and the unsaved-download flag with its save.
class TfrmGraphHost
{
public:
    virtual ~TfrmGraphHost() = default;
    // The data sets behind the download view's data set list.
    virtual const TDataSetStore &dataSets() const = 0;
    virtual bool unsavedDownload() const = 0;
    // Saves the download shown by view (the answer Yes to the close question);
    // the flag stays set when nothing was written.
    virtual void saveDownload(TfrmGraph &view) = 0;
    // The download view is closing.
    virtual void downloadViewClosed() = 0;
};

// A data view window: the data set list and the data list on the left, the
// chart with its tool bar and strip, and the statistics of one channel with
// cursors A and B below it. A view is made for its role: the download view
// (captioned "DataLogger", with the data set list) or a file view (carrying
// the path of its file, with the data list alone).
//
// The window builds its widgets in TfrmGraphLayout.cpp and handles their
// events in TfrmGraph.cpp; the statistics panel is a StatisticsPanel, which
// shows the texts the view hands it. The cursor arithmetic and the statistics
// texts are the CursorController's; the click mode and note counter are
// shared with the other views through `modes`.
class TfrmGraph : public QWidget
{
    Q_OBJECT
public:
    static QString downloadCaption() { return QStringLiteral("DataLogger"); }

    enum class Role { File, Download };

    // ctx must outlive the view; host holds the data sets behind the
    // download view (the file views ask it about an unsaved download).
    explicit TfrmGraph(AppContext &ctx, TfrmGraphHost *host = nullptr, Role role = Role::File,
                       QWidget *parent = nullptr);
    ~TfrmGraph() override;

    bool isDownloadView() const { return m_role == Role::Download; }
    // The width the view opens with in the document area: the download
    // view's layout is drawn for 1011; 0 lets a file view span the window.
    int openingWidth() const { return isDownloadView() ? 1011 : 0; }

    // "Save DataLogger Data ?" before the unsaved download behind this view
    // goes: the view closes, or a collection open or a new download would
    // replace the data sets. Yes saves through the host. Returns whether the
    // caller may go on: nothing unsaved, No, or Yes with the download written.
    bool saveDownloadFirst();

    // Fills Grid2 with the data sets of the store and selects the first one.
    void fillDataSetList(const TDataSetStore &store);
    // Shows data set k of the store (nothing for a k that names no data set):
    // its points on the chart, its own start, interval and sample count in the
    // strip, the statistics, and the data list with its first sample selected.
    void showDataSet(const TDataSetStore &store, int k);
    // Refills Grid3 from the chart.
    void FillDataList();
    // Selects sample i (row i + 1 of the list, over all columns), without
    // running the list's click handler; -1 or a row beyond the list clears it.
    void selectDataListRow(int sample);
    // Scrolls Grid3 so that sample i stands near the middle.
    void scrollDataListTo(int sample);

    void UpdateStatistics();
    void SelectPoint(int index);
    void UpdateCursorStatistics();

    // The channel shown by the statistics: 0 humidity, 1 temperature.
    int shownChannel() const;

    // The unit of the readings shown: the data set's own in the download
    // view; a data file says none, so a file view takes degrees Celsius
    // unless the user chose Fahrenheit in "Limits" (for this view only).
    TemperatureUnit readingUnit() const;
    // The alarm limits of a channel as they apply to the readings shown.
    ChannelLimits channelLimits(int channel) const;
    // The activation energy of the mean kinetic temperature, kJ/mol.
    double activationEnergy() const;

    // The date, time and number texts of this view.
    const DateTimeText &texts() const { return m_texts; }
    // The calibration offsets the readings shown carry (none in a file view).
    CalibrationOffsets appliedOffsets() const { return m_shownSet ? m_offsets : CalibrationOffsets(); }
    // The samples a file view shows, as a report takes them: as many as the
    // data list lists, named after the view's file.
    ReportData shownSamples() const;

    // This view's cursors A and B.
    CursorController &cursors() { return *m_cursors; }
    const CursorController &cursors() const { return *m_cursors; }
    // The click mode and note counter this view shares.
    const AnnotationModes &annotationModes() const { return m_modes; }
    // The statistics, cursor and limit boxes under the chart.
    StatisticsPanel *panel() const { return m_panel; }

    // Layout.
    QSplitter *Splitter2 = nullptr;
    QWidget *pnlDataSets = nullptr;
    QLabel *StaticText1 = nullptr;
    QSplitter *Splitter3 = nullptr;
    QTableView *Grid2 = nullptr;
    QWidget *pnlDataList = nullptr;
    QLabel *StaticText2 = nullptr;
    QSplitter *Splitter4 = nullptr;
    QTableView *Grid3 = nullptr;
    QWidget *Panel11 = nullptr;
    QWidget *pnlRight = nullptr;
    QSplitter *Splitter1 = nullptr;
    QWidget *pnlGraph = nullptr;

    // Tool bar.
    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButton1 = nullptr;
    QToolButton *ToolButton2 = nullptr;
    QToolButton *ToolButton4 = nullptr;
    QToolButton *ToolButton5 = nullptr;
    QToolButton *ToolButton9 = nullptr;
    QToolButton *UndoZoom = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QCheckBox *chkSplit = nullptr;
    QPushButton *BitBtn1 = nullptr;

    // Strip under the tool bar.
    QWidget *pnlGraphStatistic = nullptr;
    QLineEdit *txtStartTime = nullptr;
    QComboBox *txtSamplingRate = nullptr;
    QLineEdit *txtDataNo = nullptr;
    QCheckBox *chkTextList = nullptr;
    QCheckBox *chkDerivedColumns = nullptr;
    QWidget *Panel12 = nullptr;

    ChartWidget *PESGraph1 = nullptr;
    DataSetListModel *dataSetListModel = nullptr;
    DataListModel *dataListModel = nullptr;

public Q_SLOTS:
    void Grid2Click();
    void Grid3Click();
    void TabControl1Change();
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton4Click();
    void ToolButton5Click();
    void ToolButton9Click();
    void chkTextListClick();
    void pnlGraphResize();
    void UndoZoomClick();
    void Button1Click();
    void Button2Click();
    void BitBtn1Click();
    void chkSplitClick();
    void LimitsClick();

    void PESGraph1VertLineAnnotHotSpot(int line);
    void PESGraph1MouseMove();
    void PESGraph1MouseUp();
    void PESGraph1Click();
    void PESGraph1GraphAnnotHotSpot(int index, bool doubleClick);
    void PESGraph1GraphHotSpot();
    void PESGraph1DataHotSpot(int point, int subset);
    void PESGraph1ZoomIn();
    void PESGraph1CustomizeDlg();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    // The data list's derived columns on or off, or their unit changed.
    void chkDerivedColumnsClick();
    void setDataListWidths();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();

    QWidget *createDataSetsPanel();
    QWidget *createRightPanel();
    QToolBar *createToolBar();
    QWidget *createStrip();
    // The limit and MKT boxes and the chart's limit lines, after the
    // statistics, the cursors or the limits changed.
    void showLimitStatistics();
    void showCursorMkt();
    void showLimitLines();
    void limitsChanged();
    // The sampling interval the durations count: the data set's own, else the estimate.
    // The samples the chart holds, without a short file's padding.
    ChartSeries samples() const;
    qint64 intervalSeconds() const;
    // The dew point and absolute humidity of samples(), derived on first use
    // after the statistics were last updated (or the file's unit changed).
    const Humidity::DerivedSeries &derived();
    QString mktText(std::optional<double> mkt) const;
    void setCursorLineColours(bool draggingA, bool draggingB);
    // The mouse's data X on the chart, and whether it lies in the plot.
    double mouseX() const;
    bool mouseInPlot() const;
    void setClickMode(ClickMode mode);

    AppContext &m_ctx;
    AnnotationModes &m_modes;
    TfrmGraphHost *m_host = nullptr;
    Role m_role;
    DateTimeText m_texts;
    std::unique_ptr<CursorController> m_cursors;
    StatisticsPanel *m_panel = nullptr;
    // The program's own selections in the lists run no click handler.
    bool m_selecting = false;
    // Of the data set shown by the download view.
    std::optional<TemperatureUnit> m_setUnit;
    std::optional<qint64> m_setInterval;
    TemperatureUnit m_fileUnit = TemperatureUnit::Celsius;
    // The statistics show a data set or a file (not the empty start-up chart).
    bool m_statisticsShown = false;
    std::optional<Humidity::DerivedSeries> m_derived;
    // The download view's data set shown, and the offsets its readings carry.
    std::optional<int> m_shownSet;
    CalibrationOffsets m_offsets;
    TemperatureUnit m_derivedUnit = TemperatureUnit::Celsius;
};
