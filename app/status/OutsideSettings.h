#pragma once

#include "status/OutsideChecks.h"

#include <QString>
#include <QStringList>

// The administrator's settings for the checks from outside, kept as typed
// (so nothing typed is lost) and read into the checks' inputs, leaving out
// what is not usable.
namespace brevane::status {

struct OutsideSettings {
    QString vantage;
    QString publicAddress; ///< a name or address; empty: the host name
    QString relayRecipient; ///< empty: the built-in outside address
    QString blockLists; ///< one zone a line
};

/// From the user's settings; block lists never set read as the defaults.
OutsideSettings storedOutsideSettings();
void storeOutsideSettings(const OutsideSettings& settings);

/// The inputs with the settings filled in; the given target (the host
/// name) stays when no public address is set.
OutsideInputs applySettings(OutsideInputs given, const OutsideSettings& settings);

/// What is not usable, one sentence a field; empty when all is.
QStringList settingsProblems(const OutsideSettings& settings);

} // namespace brevane::status
