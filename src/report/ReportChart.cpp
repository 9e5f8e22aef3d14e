#include "report/ReportChart.h"

#include "core/data/DateTimeText.h"
#include "core/report/ReportData.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

namespace ReportChart {

namespace {

constexpr float OutOfRange = 3000.0f;
constexpr double MinutesPerDay = 1440.0;

bool valid(float v)
{
    return std::isfinite(v) && v > -OutOfRange && v < OutOfRange;
}

struct Range
{
    double lo = 0.0;
    double hi = 1.0;
};

Range valueRange(std::span<const float> y)
{
    bool any = false;
    Range r{0.0, 0.0};
    for (const float v : y) {
        if (!valid(v))
            continue;
        if (!any) {
            r = {v, v};
            any = true;
        }
        r.lo = std::min(r.lo, double(v));
        r.hi = std::max(r.hi, double(v));
    }
    if (!any)
        return {0.0, 1.0};
    // A flat line still needs a scale to sit on.
    if (r.hi - r.lo < 1e-6)
        return {r.lo - 1.0, r.hi + 1.0};
    return r;
}

double niceStep(double span, int ticks)
{
    const double raw = span / ticks;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (raw <= m * mag)
            return m * mag;
    }
    return 10.0 * mag;
}

// The scale padded out to whole steps.
Range niceRange(Range r, double &step)
{
    step = niceStep(r.hi - r.lo, 5);
    return {std::floor(r.lo / step) * step, std::ceil(r.hi / step) * step};
}

class Panel
{
public:
    Panel(QPainter &p, const QRectF &plot, Range x, Range y)
        : m_p(p)
        , m_plot(plot)
        , m_x(x)
        , m_y(y)
    {
    }

    QPointF at(double x, double y) const
    {
        return {m_plot.left() + (x - m_x.lo) / (m_x.hi - m_x.lo) * m_plot.width(),
                m_plot.bottom() - (y - m_y.lo) / (m_y.hi - m_y.lo) * m_plot.height()};
    }

    void drawLine(std::span<const double> xs, std::span<const float> ys)
    {
        const size_t n = std::min(xs.size(), ys.size());
        // Up to four points per quarter point of width are drawn as they are.
        const double columns = std::max(1.0, std::floor(m_plot.width() * 4.0));
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() >= 2)
                m_p.drawPolyline(line);
            else if (line.size() == 1)
                m_p.drawPoint(line.first());
            line.clear();
        };
        if (double(n) <= columns * 2.0) {
            for (size_t i = 0; i < n; ++i) {
                if (valid(ys[i]))
                    line << at(xs[i], ys[i]);
                else
                    flush();
            }
            flush();
            return;
        }
        // Thinned: per column the first, lowest, highest and last reading.
        long column = -1;
        float first = 0, lo = 0, hi = 0, last = 0;
        size_t loAt = 0, hiAt = 0;
        double cx = 0;
        bool open = false;
        const auto emitColumn = [&] {
            if (!open)
                return;
            line << at(cx, first);
            if (loAt < hiAt)
                line << at(cx, lo) << at(cx, hi);
            else
                line << at(cx, hi) << at(cx, lo);
            line << at(cx, last);
            open = false;
        };
        const double width = m_x.hi - m_x.lo;
        for (size_t i = 0; i < n; ++i) {
            if (!valid(ys[i])) {
                emitColumn();
                flush();
                column = -1;
                continue;
            }
            const long c = long(std::floor((xs[i] - m_x.lo) / width * columns));
            if (c != column) {
                emitColumn();
                column = c;
                cx = m_x.lo + (double(c) + 0.5) / columns * width;
                first = lo = hi = ys[i];
                loAt = hiAt = i;
                open = true;
            }
            if (ys[i] < lo) {
                lo = ys[i];
                loAt = i;
            }
            if (ys[i] > hi) {
                hi = ys[i];
                hiAt = i;
            }
            last = ys[i];
        }
        emitColumn();
        flush();
    }

private:
    QPainter &m_p;
    QRectF m_plot;
    Range m_x;
    Range m_y;
};

// As many decimals as the step needs: 2.5 shows "72.5", not "73".
QString tickText(double v, double step, const DateTimeText &texts)
{
    int decimals = 0;
    while (decimals < 6) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * scaled)
            break;
        ++decimals;
    }
    return texts.fixed(v, decimals);
}

// The limits that are set, low first.
std::vector<double> limitValues(const ChannelLimits &limits)
{
    std::vector<double> v;
    if (limits.low)
        v.push_back(*limits.low);
    if (limits.high)
        v.push_back(*limits.high);
    return v;
}

void paintPanel(QPainter &p, const QRectF &area, const QString &title, Range xr, std::span<const double> xs,
                std::span<const float> ys, const DateTimeText &texts, bool timeLabels, const ChannelLimits &limits)
{
    const QFontMetricsF fm(p.font());
    const double labelWidth = fm.horizontalAdvance(QStringLiteral("-0000.0")) + 6.0;
    const double timeHeight = timeLabels ? 2.0 * fm.height() + 4.0 : 4.0;
    const QRectF plot(area.left() + labelWidth, area.top() + fm.height() + 2.0, area.width() - labelWidth - 4.0,
                      area.height() - fm.height() - 2.0 - timeHeight);

    double step = 1.0;
    Range values = valueRange(ys);
    const std::vector<double> lines = limitValues(limits);
    for (const double v : lines) {
        values.lo = std::min(values.lo, v);
        values.hi = std::max(values.hi, v);
    }
    const Range yr = niceRange(values, step);
    Panel panel(p, plot, xr, yr);

    p.setPen(QPen(Qt::black, 0.8));
    p.drawText(QPointF(plot.left(), area.top() + fm.ascent()), title);

    QPen grid(Qt::gray, 0.3, Qt::DotLine);
    for (double v = yr.lo; v <= yr.hi + step / 2; v += step) {
        const QPointF left = panel.at(xr.lo, v);
        p.setPen(grid);
        p.drawLine(left, QPointF(plot.right(), left.y()));
        p.setPen(Qt::black);
        const QString t = tickText(v, step, texts);
        p.drawText(QPointF(plot.left() - 4.0 - fm.horizontalAdvance(t), left.y() + fm.ascent() / 2.5), t);
    }
    constexpr int XTicks = 5;
    for (int i = 0; i <= XTicks; ++i) {
        const double x = xr.lo + (xr.hi - xr.lo) * i / XTicks;
        const double px = panel.at(x, yr.lo).x();
        p.setPen(grid);
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        if (!timeLabels)
            continue;
        p.setPen(Qt::black);
        const QString date = texts.shortDate(x);
        const QString time = texts.longTime(x);
        const double w = std::max(fm.horizontalAdvance(date), fm.horizontalAdvance(time));
        // Under the plot only, clear of the value labels at its left.
        const double left = std::clamp(px - w / 2.0, plot.left(), area.right() - w);
        p.drawText(QPointF(left, plot.bottom() + 2.0 + fm.ascent()), date);
        p.drawText(QPointF(left, plot.bottom() + 2.0 + fm.height() + fm.ascent()), time);
    }

    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    p.save();
    p.setClipRect(plot);
    p.setPen(QPen(Qt::black, 0.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    panel.drawLine(xs, ys);
    p.setPen(QPen(Qt::black, 0.8, Qt::DashLine));
    for (const double v : lines) {
        const double y = panel.at(xr.lo, v).y();
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.restore();
}

} // namespace

void paint(QPainter &painter, const QRectF &area, const ReportData &data, const DateTimeText &texts,
           std::span<const ChannelLimits> limits)
{
    const ChannelLimits none;
    const ChannelLimits &humidityLimits = limits.size() > 0 ? limits[0] : none;
    const ChannelLimits &temperatureLimits = limits.size() > 1 ? limits[1] : none;
    Range xr{0.0, 1.0};
    if (!data.x.empty()) {
        const auto [lo, hi] = std::minmax_element(data.x.begin(), data.x.end());
        xr = {*lo, *hi};
        if (xr.hi - xr.lo <= 0.0)
            xr = {xr.lo - 1.0 / MinutesPerDay, xr.hi + 1.0 / MinutesPerDay};
    }
    const double half = area.height() / 2.0;
    const QString unit = data.unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(data.unit);
    paintPanel(painter, QRectF(area.left(), area.top(), area.width(), half - 6.0), QStringLiteral("Humidity (%)"), xr,
               data.x, data.humidity, texts, false, humidityLimits);
    paintPanel(painter, QRectF(area.left(), area.top() + half, area.width(), half), QStringLiteral("Temperature") + unit,
               xr, data.x, data.temperature, texts, true, temperatureLimits);
}

} // namespace ReportChart
