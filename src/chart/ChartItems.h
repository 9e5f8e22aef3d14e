#pragma once

#include <qcustomplot.h>

#include <functional>

// Drawing pieces of the chart widget that QCustomPlot does not offer as such.

// A graph that can draw its line as a smooth Catmull-Rom curve. Long, densely
// sampled lines stay straight segments: there a curve adds nothing but time.
class SplineGraph : public QCPGraph
{
public:
    SplineGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);
    void setSpline(bool on) { m_spline = on; }

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;

private:
    bool m_spline = false;
};

// The area in which annotations may draw: every stacked axis rect together.
using PlotAreaFn = std::function<QRect()>;

// Base for items placed at a data point of the first axis rect and clipped to
// the whole plot area (in the split view a note may lie over the lower axis).
class PlotAreaItem : public QCPAbstractItem
{
public:
    PlotAreaItem(QCustomPlot *plot, QCPAxis *keyAxis, QCPAxis *valueAxis, PlotAreaFn area);
    void setPoint(double key, double value) { m_key = key; m_value = value; }
    QPointF pixel() const;
    double selectTest(const QPointF &, bool, QVariant *) const override { return -1; }

protected:
    QRect clipRect() const override;

    QPointer<QCPAxis> m_keyAxis;
    QPointer<QCPAxis> m_valueAxis;
    PlotAreaFn m_area;
    double m_key = 0.0;
    double m_value = 0.0;
};

// A text note; the point is its left edge, vertically centred.
class NoteItem : public PlotAreaItem
{
public:
    using PlotAreaItem::PlotAreaItem;
    void setText(const QString &text) { m_text = text; }
    void setFont(const QFont &font) { m_font = font; }
    void setColor(const QColor &color) { m_color = color; }
    QRectF textRect() const;

protected:
    void draw(QCPPainter *painter) override;

private:
    QString m_text;
    QFont m_font;
    QColor m_color;
};

// A cross mark of CrossSize pixels centred on its point.
class CrossItem : public PlotAreaItem
{
public:
    static constexpr int CrossSize = 9;
    using PlotAreaItem::PlotAreaItem;
    void setColor(const QColor &color) { m_color = color; }

protected:
    void draw(QCPPainter *painter) override;

private:
    QColor m_color;
};

// A vertical line across the whole plot area with its text at the top.
class VertLineItem : public PlotAreaItem
{
public:
    using PlotAreaItem::PlotAreaItem;
    void setPen(const QPen &pen) { m_pen = pen; }
    void setText(const QString &text) { m_text = text; }
    void setFont(const QFont &font) { m_font = font; }

protected:
    void draw(QCPPainter *painter) override;

private:
    QPen m_pen;
    QString m_text;
    QFont m_font;
};
