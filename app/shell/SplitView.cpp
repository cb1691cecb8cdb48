#include "shell/SplitView.h"

#include "shell/SplitGeometry.h"

#include <QMouseEvent>
#include <QResizeEvent>
#include <QSplitterHandle>
#include <algorithm>
#include <cmath>

namespace {

class ConstrainedHandle : public QSplitterHandle
{
public:
    ConstrainedHandle(Qt::Orientation orientation, SplitView* parent)
        : QSplitterHandle(orientation, parent)
        , m_view(parent)
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_offset = orientation() == Qt::Vertical ? event->position().y() : event->position().x();
        QSplitterHandle::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPoint inSplitter = mapToParent(event->position().toPoint());
        const int along = orientation() == Qt::Vertical ? inSplitter.y() : inSplitter.x();
        moveSplitter(m_view->constrainedPosition(along - static_cast<int>(m_offset)));
    }

private:
    SplitView* m_view;
    double m_offset = 0;
};

} // namespace

SplitView::SplitView(QWidget* parent)
    : QSplitter(parent)
{
}

int SplitView::constrainedPosition(int proposed) const
{
    using namespace brevane::split;
    const int extent = orientation() == Qt::Vertical ? height() : width();
    const int low = static_cast<int>(constrainMinCoordinate(0));
    const int high = static_cast<int>(constrainMaxCoordinate(extent - handleWidth()));
    return std::clamp(proposed, low, std::max(low, high));
}

QSplitterHandle* SplitView::createHandle()
{
    return new ConstrainedHandle(orientation(), this);
}

void SplitView::resizeEvent(QResizeEvent* event)
{
    // The rules above decide where the divider goes, not the panes' size
    // hints, which QSplitter would otherwise hold as hard minimums.
    for (int i = 0; i < count(); ++i) {
        if (orientation() == Qt::Vertical)
            widget(i)->setMinimumHeight(1);
        else
            widget(i)->setMinimumWidth(1);
    }
    QSplitter::resizeEvent(event);
    using namespace brevane::split;
    if (count() < 2 || !heightChanged(event->oldSize().height(), event->size().height()))
        return;
    const PaneHeights panes = panesAfterHeightChange(event->size().height(), handleWidth());
    setSizes({static_cast<int>(std::lround(panes.top)), static_cast<int>(std::lround(panes.bottom))});
}
