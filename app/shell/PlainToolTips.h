#pragma once

#include <QObject>

namespace brevane {

/// Shows every tool tip of the application as plain text. Qt renders a tip
/// that looks like markup as rich text, and many of ours quote what came
/// from outside: a remote server's deferral reason in the queue, log lines
/// under a status light, a certificate's names. Installed once on the
/// application, it answers the tool-tip events of widgets and of item
/// views' cells before Qt's own handling does.
class PlainToolTips : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace brevane
