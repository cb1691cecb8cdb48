#pragma once

#include <QString>

namespace brevane {

/// The Deliverability tab's settings as plain values: what settings
/// documents and the Postfix configuration read and write. The window fills
/// it from the tab's controls and writes it back to them.
struct DeliverabilityForm {
    bool dkimSigning = false;
    QString selector;
};

} // namespace brevane
