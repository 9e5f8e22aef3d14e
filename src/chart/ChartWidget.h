#pragma once

#include "chart/DialogRunner.h"
#include "core/chart/ChartLayout.h"
#include "core/chart/ChartModel.h"

#include <QPair>
#include <QSharedPointer>
#include <QStringList>
#include <QWidget>
#include <qcustomplot.h>

#include <memory>
#include <optional>

// A dashed horizontal line at an alarm limit of one subset, drawn in the
// subset's colour on the axis the subset lies on. Limits belong to the
// program, not to the chart, so the lines are kept beside the model: graph
// files and templates never hold them.
struct ChartLimitLine
{
    int subset = 0;
    double value = 0.0;
    friend bool operator==(const ChartLimitLine &, const ChartLimitLine &) = default;
};

class QPrinter;
class QRubberBand;
class QScrollBar;
class SplineGraph;
class VertLineItem;
namespace ChartPaint {
struct Palette;
}

// The chart control of a view: draws its ChartModel with QCustomPlot and turns
// mouse input into the chart events (hot spots, zoom, mouse move and up).
//
// Changes to the model show after the redraw sequence (sgResetImage, then
// sgInvalidateImage). sgInvalidateImage alone after moving a vertical line
// repaints only the layer of the vertical lines.
class ChartWidget : public QWidget
{
    Q_OBJECT

public:
    enum class PEaction { sgReinitAndReset, sgResetImage, sgInvalidateImage, sgCustomize,
                          sgPrintDialog, sgUndoZoom };

    explicit ChartWidget(QWidget *parent = nullptr);
    ~ChartWidget() override;

    ChartModel &model() { return m_model; }
    const ChartModel &model() const { return m_model; }

    // Actions ---------------------------------------------------------------
    void setPEnarg1(int value) { m_nArg1 = value; }
    void setPEnarg2(int value) { m_nArg2 = value; }
    void setPEactions(PEaction action);
    // The redraw sequence: PEnarg1 = 0, PEnarg2 = 0, sgResetImage, sgInvalidateImage.
    void redraw();
    // 1 when the last dialog (customization, print) was accepted, else 0.
    int GetDialogResult() const { return m_dialogResult; }
    // The printer sgPrintDialog prints on (not owned); without one the chart uses its own.
    void setPrinter(QPrinter *printer) { m_printer = printer; }
    // How the customization and print dialogs are shown (QDialog::exec() by default).
    void setDialogRunner(DialogRunner runner) { m_dialogRunner = std::move(runner); }
    const DialogRunner &dialogRunner() const { return m_dialogRunner; }
    // Renders the chart onto a printer page (monochrome under sgPrintDefaultMono).
    void printTo(QPrinter &printer);
    // Lines printed under the chart on its page (an archived run's
    // fingerprint and signatures); none by default.
    void setPrintFoot(const QStringList &lines) { m_printFoot = lines; }
    // The chart as a picture of the given size.
    QPixmap renderPixmap(const QSize &size);

    // The limit lines; they show after the redraw sequence, on screen, in
    // print and in renderPixmap. An axis that scales itself widens its range
    // to show them; a manual scale is left as it is.
    void setLimitLines(const QList<ChartLimitLine> &lines);
    const QList<ChartLimitLine> &limitLines() const { return m_limitLines; }

    // Geometry (pixels of this widget) --------------------------------------
    QPoint lastMousePosition() const { return m_lastMouse; }
    // The area of the plot: all stacked axes together.
    QRect plottingRect() const;
    // Pixel to data (X as date-time days) on axis 0, and back.
    QPointF pixelToData(const QPointF &pixel) const;
    QPointF dataToPixel(double x, double y) const;
    // The same for the axis of another subset group (split view).
    QPointF dataToPixel(double x, double y, int axis) const;
    int axisCount() const;

    // Zoom --------------------------------------------------------------------
    // Zooms to a rectangle in pixels, as a dragged rectangle does.
    void zoomToRect(const QRect &pixels);
    bool isZoomed() const { return m_zoomX.has_value() || m_zoomAxis >= 0; }
    // The visible X range (days) and the visible Y range of an axis.
    QPair<double, double> visibleXRange() const;
    QPair<double, double> visibleYRange(int axis) const;

    QCustomPlot *plot() const { return m_plot; }

signals:
    void OnClick();
    void OnMouseMove();
    void OnMouseUp();
    // A click on a data point: its point index and subset.
    void OnDataHotSpot(int pointIndex, int subsetIndex);
    // The mouse is over a graph annotation that reacts to clicks.
    void OnGraphHotSpot();
    void OnGraphAnnotHotSpot(int index, bool doubleClick);
    void OnVertLineAnnotHotSpot(int lineIndex);
    void OnZoomIn();
    void OnCustomizeDlg();

private:
    // One stacked axis rect and the subsets drawn on it.
    struct Group : ChartLayout::AxisGroup
    {
        Group() = default;
        explicit Group(const ChartLayout::AxisGroup &layout) : AxisGroup(layout) {}
        QCPAxisRect *rect = nullptr;
        QPair<double, double> fullY;   // Y range when not zoomed
    };
    struct LegendCell
    {
        QCPLayoutGrid *row = nullptr;  // the legend between two stretching cells
        QCPLegend *legend = nullptr;
    };
    // The plot data of one subset, rebuilt when the model's data changes.
    struct SubsetCache
    {
        QSharedPointer<QCPGraphDataContainer> data;
        bool sorted = true;            // X rises from point to point
        bool hasData = false;          // some point is not null
        double minKey = 0.0, maxKey = 0.0;
        double minY = 0.0, maxY = 0.0;
    };

    void reinitAndReset();
    void resetImage();
    void invalidateImage();
    void customize();
    void printDialog();
    void undoZoom();

    void applyChanges(bool force);
    void rebuildData();
    void rebuildLayout();
    void clearPlot();
    void paintDesk(const ChartPaint::Palette &pal);
    int addTitles(const ChartPaint::Palette &pal);
    LegendCell addLegend(int row, const QFont &font, const ChartPaint::Palette &pal);
    QSharedPointer<QCPAxisTicker> xTicker() const;
    void addAxisRects(int firstRow, const QFont &labelFont, const ChartPaint::Palette &pal, QCPLegend *legend);
    QCPAxisRect *addAxisRect(int row, int index, const ChartPaint::Palette &pal);
    void styleAxes(QCPAxisRect &rect, const AxisSettings &yAxis, const QFont &labelFont,
                   const ChartPaint::Palette &pal);
    void addGraphs(const Group &group, QCPLegend *legend);
    void rebuildAnnotations();
    void rebuildVertLines();
    void addLimitLines(const Group &group);
    void applyRanges();
    void updateScrollBars();
    void updateCursor();
    void replotAll();

    double toKey(double days) const;
    double fromKey(double key) const;
    QCPAxisRect *rect(int axis) const;
    int groupAt(const QPoint &pixel) const;
    int hitVertLine(const QPoint &pixel) const;
    int hitAnnotation(const QPoint &pixel) const;
    bool hitData(const QPoint &pixel, int *point, int *subset) const;
    QFont chartFont(const QString &family, QFont::StyleHint hint, double scale = 1.0) const;
    bool isMono() const { return m_mono; }

    void onPress(QMouseEvent *event);
    void onMove(QMouseEvent *event);
    void onRelease(QMouseEvent *event);
    void onDoubleClick(QMouseEvent *event);
    void onHorizontalScroll(int value);
    void onVerticalScroll(int value);

    ChartModel m_model;
    QCustomPlot *m_plot = nullptr;
    QScrollBar *m_hbar = nullptr;
    QScrollBar *m_vbar = nullptr;
    QRubberBand *m_band = nullptr;
    QCPLayer *m_lineLayer = nullptr;
    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter *m_printer = nullptr;

    // What the plot shows, and the model revisions it was built from.
    QList<Group> m_groups;
    QList<SubsetCache> m_cache;
    QList<SplineGraph *> m_graphs;
    QList<VertLineItem *> m_lineItems;
    QList<QPair<int, QCPAbstractItem *>> m_noteItems;
    QPair<double, double> m_fullX;
    quint64 m_built[4] = {0, 0, 0, 0};
    bool m_needsReplot = true;
    QList<ChartLimitLine> m_limitLines;
    bool m_limitLinesBuilt = true;
    bool m_mono = false;
    QStringList m_printFoot;

    // Zoom: the visible X range and the Y range of one axis, in plot keys.
    std::optional<QPair<double, double>> m_zoomX;
    int m_zoomAxis = -1;
    QPair<double, double> m_zoomY;
    bool m_updatingBars = false;

    // Mouse.
    QPoint m_lastMouse;
    QPoint m_pressPos;
    bool m_pressed = false;
    bool m_pressOnLine = false;
    bool m_banding = false;
    int m_hoverAnnotation = -1;

    int m_nArg1 = 0;
    int m_nArg2 = 0;
    int m_dialogResult = 0;
    DialogRunner m_dialogRunner;
};
