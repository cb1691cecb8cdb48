#pragma once

#include "maintenance/TrafficSummary.h"

#include <QWidget>

/// The last 24 hours as one bar per hour: messages delivered at the bottom,
/// messages deferred or bounced above, refusals on top. A legend names the
/// colours, the scale on the left counts per hour up to the busiest hour and
/// the times below mark the hours, "now" at the right.
class TrafficChart : public QWidget
{
    Q_OBJECT

public:
    explicit TrafficChart(QWidget* parent = nullptr);
    void setSummary(const brevane::TrafficSummary& summary);
    QSize sizeHint() const override;

    /// The legend's words, left to right, matching the bars bottom to top.
    static QStringList legend();
    /// The scale's top: the busiest hour's bar, at least 1.
    int scaleTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintLegend(QPainter& painter, const QRect& area) const;
    void paintScale(QPainter& painter, const QRect& plot) const;
    void paintTimes(QPainter& painter, const QRect& plot) const;

    brevane::TrafficSummary m_summary;
};
