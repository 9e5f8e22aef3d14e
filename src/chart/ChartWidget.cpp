#include "chart/ChartWidget.h"

#include "chart/ChartCustomizeDialog.h"
#include "chart/ChartItems.h"
#include "chart/ChartPaint.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QLocale>
#include <QPrintDialog>
#include <QPicture>
#include <QPrinter>
#include <QRubberBand>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <limits>

static void initChartResources()
{
    Q_INIT_RESOURCE(chart);
}

using namespace ChartPaint;

ChartWidget::ChartWidget(QWidget *parent)
    : QWidget(parent)
{
    initChartResources();
    m_plot = new QCustomPlot(this);
    m_plot->setInteractions(QCP::Interactions());
    m_plot->setAutoAddPlottableToLegend(false);
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setPlottingHint(QCP::phCacheLabels, true);
    m_plot->setMouseTracking(true);
    m_plot->addLayer(QStringLiteral("vlines"), m_plot->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    m_lineLayer = m_plot->layer(QStringLiteral("vlines"));
    m_lineLayer->setMode(QCPLayer::lmBuffered);

    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_hbar->hide();
    m_vbar->hide();
    // The plot sits at (0, 0), so its pixels are this widget's pixels.
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_plot, 0, 0);
    layout->addWidget(m_vbar, 0, 1);
    layout->addWidget(m_hbar, 1, 0);
    m_band = new QRubberBand(QRubberBand::Rectangle, m_plot);

    connect(m_plot, &QCustomPlot::mousePress, this, &ChartWidget::onPress);
    connect(m_plot, &QCustomPlot::mouseMove, this, &ChartWidget::onMove);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &ChartWidget::onRelease);
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &ChartWidget::onDoubleClick);
    connect(m_hbar, &QScrollBar::valueChanged, this, &ChartWidget::onHorizontalScroll);
    connect(m_vbar, &QScrollBar::valueChanged, this, &ChartWidget::onVerticalScroll);

    applyChanges(true);
    replotAll();
}

ChartWidget::~ChartWidget() = default;

// Actions -------------------------------------------------------------------

void ChartWidget::setPEactions(PEaction action)
{
    switch (action) {
    case PEaction::sgReinitAndReset:
        reinitAndReset();
        break;
    case PEaction::sgResetImage:
        resetImage();
        break;
    case PEaction::sgInvalidateImage:
        invalidateImage();
        break;
    case PEaction::sgCustomize:
        customize();
        break;
    case PEaction::sgPrintDialog:
        printDialog();
        break;
    case PEaction::sgUndoZoom:
        undoZoom();
        break;
    }
}

void ChartWidget::redraw()
{
    setPEnarg1(0);
    setPEnarg2(0);
    setPEactions(PEaction::sgResetImage);
    setPEactions(PEaction::sgInvalidateImage);
}

void ChartWidget::reinitAndReset()
{
    applyChanges(true);
    replotAll();
}

void ChartWidget::resetImage()
{
    applyChanges(false);
    m_needsReplot = true;
}

void ChartWidget::invalidateImage()
{
    const auto pending = [this](ChartModel::Part p) { return m_model.revision(p) != m_built[int(p)]; };
    const bool onlyLines = !pending(ChartModel::Part::Data) && !pending(ChartModel::Part::Looks)
        && !pending(ChartModel::Part::Annotations) && m_limitLinesBuilt;
    if (onlyLines && !m_needsReplot) {
        // A moved cursor line: repaint its own layer, not the million points below.
        if (pending(ChartModel::Part::VertLines)) {
            rebuildVertLines();
            m_built[int(ChartModel::Part::VertLines)] = m_model.revision(ChartModel::Part::VertLines);
        }
        m_lineLayer->replot();
        return;
    }
    applyChanges(false);
    replotAll();
}

void ChartWidget::customize()
{
    ChartCustomizeDialog dialog(m_model.state(), m_dialogRunner, this);
    const int result = runDialog(m_dialogRunner, dialog);
    m_dialogResult = result == QDialog::Accepted ? 1 : 0;
    if (m_dialogResult == 1) {
        ChartState edited = m_model.state();
        dialog.applyTo(edited);
        m_model.setState(edited);
        redraw();
    }
    emit OnCustomizeDlg();
}

void ChartWidget::printDialog()
{
    QPrinter *printer = m_printer;
    if (!printer) {
        if (!m_ownPrinter) {
            // The stored orientation is only the default of a new printer: a
            // printer set up by the user keeps the orientation chosen there.
            m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
            m_ownPrinter->setPageOrientation(m_model.state().looks.printLandscape ? QPageLayout::Landscape
                                                                            : QPageLayout::Portrait);
        }
        printer = m_ownPrinter.get();
    }
    QPrintDialog dialog(printer, this);
    const int result = runDialog(m_dialogRunner, dialog);
    m_dialogResult = result == QDialog::Accepted ? 1 : 0;
    if (m_dialogResult == 1)
        printTo(*printer);
}

void ChartWidget::printTo(QPrinter &printer)
{
    m_mono = m_model.state().looks.printStyleControl == PrintStyle::sgPrintDefaultMono;
    applyChanges(true);
    // QCustomPlot gives fonts in points and pens in pixels. Drawn straight
    // at the printer's resolution the points grow with it and the pens do
    // not; a painter scaled to make up for the pens scales the fonts a second
    // time. So the chart is recorded as a picture at the picture's (screen)
    // resolution, which keeps its vectors and text, and played onto the
    // page, which scales everything alike: fonts and pens keep the
    // proportions they have on screen, on paper and in the preview.
    QCPPainter painter;
    if (painter.begin(&printer)) {
        const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
        // The foot's lines take the bottom of the page, the chart the rest.
        QFont footFont = font();
        footFont.setPointSizeF(7.5);
        const QFontMetricsF foot(footFont, &printer);
        const int footHeight = int(std::ceil(foot.height() * 1.2 * double(m_printFoot.size())));
        QPicture picture;
        const int w = int(page.width() * double(picture.logicalDpiX()) / printer.logicalDpiX());
        const int h = int((page.height() - footHeight) * double(picture.logicalDpiY()) / printer.logicalDpiY());
        QCPPainter recorder;
        if (recorder.begin(&picture)) {
            recorder.setMode(QCPPainter::pmVectorized);
            recorder.setMode(QCPPainter::pmNoCaching);
            m_plot->toPainter(&recorder, w, h);
            recorder.end();
        }
        painter.drawPicture(0, 0, picture);
        painter.setFont(footFont);
        painter.setPen(Qt::black);
        double y = page.height() - footHeight;
        for (const QString &line : std::as_const(m_printFoot)) {
            y += foot.height() * 1.2;
            painter.drawText(QPointF(0, y - foot.descent()), foot.elidedText(line, Qt::ElideRight, page.width()));
        }
        painter.end();
    }
    m_mono = false;
    applyChanges(true);
    replotAll();
}

QPixmap ChartWidget::renderPixmap(const QSize &size)
{
    applyChanges(false);
    return m_plot->toPixmap(size.width(), size.height());
}

void ChartWidget::setLimitLines(const QList<ChartLimitLine> &lines)
{
    if (lines == m_limitLines)
        return;
    m_limitLines = lines;
    m_limitLinesBuilt = false;
}

void ChartWidget::undoZoom()
{
    m_zoomX.reset();
    m_zoomAxis = -1;
    applyRanges();
    updateScrollBars();
    replotAll();
}

// Building the plot -----------------------------------------------------------

double ChartWidget::toKey(double days) const
{
    return ChartLayout::plotKey(m_model.state().dateTimeMode, days);
}

double ChartWidget::fromKey(double key) const
{
    return ChartLayout::plotX(m_model.state().dateTimeMode, key);
}

QCPAxisRect *ChartWidget::rect(int axis) const
{
    return axis >= 0 && axis < m_groups.size() ? m_groups[axis].rect : nullptr;
}

int ChartWidget::axisCount() const
{
    return int(m_groups.size());
}

void ChartWidget::applyChanges(bool force)
{
    using P = ChartModel::Part;
    const auto pending = [&](P p) { return force || m_model.revision(p) != m_built[int(p)]; };
    const bool data = pending(P::Data);
    // The limit lines are laid out with the axes they sit on.
    const bool looks = pending(P::Looks) || !m_limitLinesBuilt;
    bool notes = pending(P::Annotations);
    bool lines = pending(P::VertLines);
    if (data)
        rebuildData();
    if (data || looks) {
        rebuildLayout();
        notes = lines = true;
    }
    if (notes)
        rebuildAnnotations();
    if (lines)
        rebuildVertLines();
    for (P p : {P::Data, P::VertLines, P::Annotations, P::Looks})
        m_built[int(p)] = m_model.revision(p);
    m_limitLinesBuilt = true;
}

void ChartWidget::updateCursor()
{
    switch (m_model.state().looks.arrowCursor) {
    case ArrowCursor::sgArrow:
        m_plot->setCursor(Qt::ArrowCursor);
        break;
    case ArrowCursor::sgIBeam:
        m_plot->setCursor(Qt::IBeamCursor);
        break;
    case ArrowCursor::sgCrossResource:
        m_plot->setCursor(QCursor(QPixmap(QStringLiteral(":/chart/CROSS.png")), 16, 16));
        break;
    }
}

void ChartWidget::replotAll()
{
    m_plot->replot();
    m_needsReplot = false;
}

// Geometry ------------------------------------------------------------------
