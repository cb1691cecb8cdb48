#pragma once

// The split view's rules: the divider keeps its distance from the limits the
// splitter proposes, and a change of height goes wholly to the bottom pane.
namespace brevane::split {

inline constexpr double minimumDistance = 50.0;
inline constexpr double maximumDistance = 280.0;
inline constexpr double topPaneHeight = 92.0;

double constrainMinCoordinate(double proposedMinimum);
double constrainMaxCoordinate(double proposedMaximum);

struct PaneHeights {
    double top;
    double bottomY;
    double bottom;
};

/// Heights after the split view changed from `oldHeight` to `newHeight`;
/// nullopt-like `changed == false` when the height did not change.
bool heightChanged(double oldHeight, double newHeight);
PaneHeights panesAfterHeightChange(double newHeight, double dividerThickness);

} // namespace brevane::split
