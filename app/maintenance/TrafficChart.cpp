#include "maintenance/TrafficChart.h"

#include <QPainter>

#include <algorithm>

using namespace brevane;

namespace {

const QColor delivered(70, 150, 80);
const QColor delayed(230, 160, 40);
const QColor refused(200, 60, 50);

struct Part {
    int TrafficCounts::*first;
    int TrafficCounts::*second; // added to the first, or null
    const QColor* colour;
    const char* words;
};

const Part parts[] = {
    {&TrafficCounts::delivered, nullptr, &delivered, "messages delivered"},
    {&TrafficCounts::deferred, &TrafficCounts::bounced, &delayed, "deferred or bounced"},
    {&TrafficCounts::rejected, nullptr, &refused, "refusals"},
};

int countOf(const TrafficCounts& hour, const Part& part)
{
    return hour.*part.first + (part.second ? hour.*part.second : 0);
}

int heightOf(const TrafficCounts& hour)
{
    int height = 0;
    for (const Part& part : parts)
        height += countOf(hour, part);
    return height;
}

// "14:05" of a time as MailLogEvent::time counts it.
QString clockOf(std::int64_t seconds)
{
    const int ofDay = int(((seconds % 86400) + 86400) % 86400);
    return QStringLiteral("%1:%2").arg(ofDay / 3600, 2, 10, QChar(u'0')).arg(ofDay / 60 % 60, 2, 10, QChar(u'0'));
}

} // namespace

TrafficChart::TrafficChart(QWidget* parent)
    : QWidget(parent)
{
    setToolTip(tr("Per hour of the last 24: messages delivered (green), messages deferred or bounced (orange), "
                  "refusals (red). A message counts once in each, however many recipients or attempts it had."));
}

QStringList TrafficChart::legend()
{
    QStringList words;
    for (const Part& part : parts)
        words << tr(part.words);
    return words;
}

int TrafficChart::scaleTop() const
{
    int busiest = 1;
    for (const TrafficCounts& hour : m_summary.hours)
        busiest = std::max(busiest, heightOf(hour));
    return busiest;
}

void TrafficChart::setSummary(const TrafficSummary& summary)
{
    m_summary = summary;
    update();
}

QSize TrafficChart::sizeHint() const
{
    const int line = fontMetrics().height();
    return {fontMetrics().horizontalAdvance(legend().join(QStringLiteral("      "))) + 30, 4 * line + 60};
}

void TrafficChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int line = fontMetrics().height();
    const int scaleWidth = fontMetrics().horizontalAdvance(QString::number(scaleTop())) + 6;
    const QRect plot = rect().adjusted(scaleWidth + 2, line + 6, -2, -line - 4);
    painter.fillRect(plot, palette().base());
    paintLegend(painter, QRect(0, 0, width(), line + 2));
    const double slot = plot.width() / 24.0;
    const int busiest = scaleTop();
    for (int i = 0; i < 24; ++i) {
        const TrafficCounts& hour = m_summary.hours[std::size_t(i)];
        const int left = plot.left() + int(i * slot) + 1;
        const int barWidth = std::max(1, int(slot) - 2);
        int bottom = plot.bottom();
        for (const Part& part : parts) {
            const int height = countOf(hour, part) * plot.height() / busiest;
            painter.fillRect(left, bottom - height + 1, barWidth, height, *part.colour);
            bottom -= height;
        }
    }
    painter.setPen(palette().mid().color());
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    paintScale(painter, plot);
    paintTimes(painter, plot);
}

void TrafficChart::paintLegend(QPainter& painter, const QRect& area) const
{
    const int box = fontMetrics().ascent() - 2;
    int x = area.left() + 2;
    for (const Part& part : parts) {
        painter.fillRect(x, area.top() + (area.height() - box) / 2, box, box, *part.colour);
        x += box + 4;
        const QString words = tr(part.words);
        painter.setPen(palette().text().color());
        painter.drawText(QRect(x, area.top(), area.width(), area.height()), Qt::AlignLeft | Qt::AlignVCenter, words);
        x += fontMetrics().horizontalAdvance(words) + 12;
    }
}

// The busiest hour's count at the top, 0 at the bottom, half way between
// when it is a whole number.
void TrafficChart::paintScale(QPainter& painter, const QRect& plot) const
{
    painter.setPen(palette().text().color());
    const int line = fontMetrics().height();
    const int top = scaleTop();
    const auto mark = [&](int value, int y) {
        painter.drawText(QRect(0, y - line / 2, plot.left() - 4, line), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(value));
    };
    mark(top, plot.top() + line / 2);
    mark(0, plot.bottom() - line / 2);
    if (top % 2 == 0 && top >= 4)
        mark(top / 2, plot.top() + plot.height() / 2);
}

// The clock time every six hours, "now" at the right end.
void TrafficChart::paintTimes(QPainter& painter, const QRect& plot) const
{
    painter.setPen(palette().text().color());
    const int line = fontMetrics().height();
    const double slot = plot.width() / 24.0;
    for (int i = 0; i < 24; i += 6) {
        const int x = plot.left() + int(i * slot);
        painter.drawText(QRect(x, plot.bottom() + 2, int(slot * 6), line), Qt::AlignLeft,
                         clockOf(m_summary.end - std::int64_t(24 - i) * 3600));
    }
    painter.drawText(QRect(plot.left(), plot.bottom() + 2, plot.width(), line), Qt::AlignRight, tr("now"));
}
