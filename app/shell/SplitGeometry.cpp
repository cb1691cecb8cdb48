#include "shell/SplitGeometry.h"

namespace brevane::split {

double constrainMinCoordinate(double proposedMinimum)
{
    return proposedMinimum + minimumDistance;
}

double constrainMaxCoordinate(double proposedMaximum)
{
    return proposedMaximum - maximumDistance;
}

bool heightChanged(double oldHeight, double newHeight)
{
    return oldHeight != newHeight;
}

PaneHeights panesAfterHeightChange(double newHeight, double dividerThickness)
{
    return {topPaneHeight, topPaneHeight + dividerThickness, newHeight - dividerThickness - topPaneHeight};
}

} // namespace brevane::split
