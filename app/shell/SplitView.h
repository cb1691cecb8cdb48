#pragma once

#include <QSplitter>

/// The window's split view: the top pane (status) keeps 92 points whenever
/// the window's height changes, and the divider cannot be dragged closer
/// than 50 points to the top or 280 points to the bottom.
class SplitView : public QSplitter
{
    Q_OBJECT

public:
    explicit SplitView(QWidget* parent = nullptr);

    /// The legal range of the divider's position after the constraints.
    int constrainedPosition(int proposed) const;

protected:
    QSplitterHandle* createHandle() override;
    void resizeEvent(QResizeEvent* event) override;
};
