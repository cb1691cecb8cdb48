#include "shell/PlainToolTips.h"

#include "shell/TextHelpers.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace brevane {

namespace {

/// The tip a widget stands for and the area it belongs to: a cell's own tip
/// when the widget is an item view's viewport, else the widget's.
QString tipAt(QWidget* widget, const QPoint& position, QRect* area)
{
    auto* view = qobject_cast<QAbstractItemView*>(widget->parentWidget());
    if (!view || view->viewport() != widget)
        return widget->toolTip();
    const QModelIndex index = view->indexAt(position);
    *area = view->visualRect(index);
    return index.data(Qt::ToolTipRole).toString();
}

} // namespace

bool PlainToolTips::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() != QEvent::ToolTip || !widget)
        return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    QRect area;
    const QString tip = tipAt(widget, help->pos(), &area);
    // No tip of its own (Qt passes the event on to the parent) or a
    // deliberately blank one: Qt's and the window's handling decide.
    if (tip.trimmed().isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), plainToolTip(tip), widget, area, widget->toolTipDuration());
    return true;
}

} // namespace brevane
