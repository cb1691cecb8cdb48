#pragma once

#include "maintenance/TrafficSummary.h"

#include <QWidget>

/// The last 24 hours as one bar per hour: delivered at the bottom, deferred
/// and bounced above, rejected on top, scaled to the busiest hour.
class TrafficChart : public QWidget
{
    Q_OBJECT

public:
    explicit TrafficChart(QWidget* parent = nullptr);
    void setSummary(const brevane::TrafficSummary& summary);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    brevane::TrafficSummary m_summary;
};
