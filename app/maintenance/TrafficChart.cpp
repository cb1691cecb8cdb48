#include "maintenance/TrafficChart.h"

#include <QPainter>

#include <algorithm>

using namespace brevane;

namespace {

const QColor delivered(70, 150, 80);
const QColor delayed(230, 160, 40);
const QColor rejected(200, 60, 50);

int heightOf(const TrafficCounts& hour)
{
    return hour.delivered + hour.deferred + hour.bounced + hour.rejected;
}

} // namespace

TrafficChart::TrafficChart(QWidget* parent)
    : QWidget(parent)
{
    setToolTip(tr("Messages per hour: delivered (green), deferred or bounced (orange), rejected (red)."));
}

void TrafficChart::setSummary(const TrafficSummary& summary)
{
    m_summary = summary;
    update();
}

QSize TrafficChart::sizeHint() const
{
    return {360, 90};
}

void TrafficChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int labelHeight = fontMetrics().height();
    const QRect plot = rect().adjusted(2, 2, -2, -labelHeight - 2);
    painter.fillRect(plot, palette().base());
    int busiest = 1;
    for (const TrafficCounts& hour : m_summary.hours)
        busiest = std::max(busiest, heightOf(hour));
    const double slot = plot.width() / 24.0;
    for (int i = 0; i < 24; ++i) {
        const TrafficCounts& hour = m_summary.hours[std::size_t(i)];
        const int left = plot.left() + int(i * slot) + 1;
        const int width = std::max(1, int(slot) - 2);
        int bottom = plot.bottom();
        const std::pair<int, QColor> parts[] = {
            {hour.delivered, delivered}, {hour.deferred + hour.bounced, delayed}, {hour.rejected, rejected}};
        for (const auto& [count, colour] : parts) {
            const int height = count * plot.height() / busiest;
            painter.fillRect(left, bottom - height + 1, width, height, colour);
            bottom -= height;
        }
        if (i % 3 == 0) {
            painter.setPen(palette().text().color());
            painter.drawText(QRect(left, plot.bottom() + 2, int(slot * 3), labelHeight), Qt::AlignLeft,
                             QString::number(int(((m_summary.end / 3600 - 23 + i) % 24 + 24) % 24)));
        }
    }
    painter.setPen(palette().mid().color());
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
}
