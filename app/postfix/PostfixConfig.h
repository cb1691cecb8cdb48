#pragma once

#include <QString>
#include <QStringList>

// Turning the Postfix forms into the configuration script's 25 arguments.
// The window's glue copies its controls into a PostfixForm, calls
// collectPostfixConfig, writes the normalised form back and runs the vector.
namespace brevane {

/// Everything postfixConfig reads from the window, as plain values.
struct PostfixForm {
    QString administrator;
    QString mydomain;
    QString myorigin;
    QString relayhost;
    QString messagesize;
    QString mailboxsize;
    QString mydestination;
    QString rblSites;
    QString luserRelayTitle;      ///< title of the selected pop-up item
    bool enableSASLClient = false;
    bool requireSSLClient = false;
    QString smartHostUserID;
    QString smartHostPassword;
    int saslAuthMethodRow = 0;    ///< 0 none, 1 system accounts, 2 list; -1 no row
    QString sasldbPasswd;         ///< multi-line
    int mynetworksStyleRow = 0;   ///< 1 = only this machine relays
    bool enableSSL = false;
    bool requireSSL = false;
    QString custom;               ///< multi-line
    QString portNos;
    QString access;               ///< multi-line
    QString aliases;              ///< multi-line
    QString virtualText;          ///< multi-line
    QString virtualDomains;
    bool dkimSigning = false;     ///< Postfix hands mail to OpenDKIM to be signed
    bool filtering = false;       ///< Postfix hands mail to rspamd to be filtered

    bool operator==(const PostfixForm&) const = default;
};

/// Outcome of collecting: either the vector to run or the reason nothing
/// may be written.
struct PostfixConfigResult {
    /// The form with the six controls collecting changes: trimmed relay
    /// account, relay boxes possibly off, both sizes as integers. Equal to
    /// the input when the form was refused.
    PostfixForm form;
    /// "/bin/sh", "-c", script, "", then the 25 script arguments; empty
    /// when refused.
    QStringList arguments;
    /// Alert text naming the refused field; empty when accepted.
    QString error;
    /// Outlet name of the refused field (for focusing it); empty when accepted.
    QString refusedOutlet;
};

/// Collects the form into the configuration script's arguments, in the
/// order the window has always done it. A single-line value that would
/// reach the script holding a line break is refused (it could add main.cf
/// parameters or map entries), and so is one Postfix cannot take in its
/// parameter (postfixCanTake).
PostfixConfigResult collectPostfixConfig(const PostfixForm& form, const QString& script);

/// The custom line the configuration script refused, read from its output
/// ("Refused custom line: ..."); empty when it wrote the configuration.
/// The script checks, as root and before writing anything, that no custom
/// line lets anyone but root choose what Postfix runs or reads.
QString refusedCustomLine(const QString& scriptOutput);

/// The alert's text for a refused custom line.
QString customLineRefusal(const QString& line);

/// Number of positional arguments the configuration script takes.
inline constexpr int postfixScriptArgumentCount = 25;

} // namespace brevane
