#pragma once

#include "shell/CommandRunner.h"

#include <QString>
#include <QStringList>

#include <optional>

// Reading the installed Postfix configuration back into the forms.
namespace brevane {

/// What loadPostfixSettings puts into the window's Postfix controls.
struct PostfixSettings {
    QString mydomain;
    QString myorigin;
    QString relayhost;
    QString messagesize;
    QString mailboxsize;
    QString mydestination;
    QString rblSites;
    /// Title of the pop-up item to select ("/dev/null" for the discard
    /// choice); "" means item 0. The glue falls back to item 0 when no item
    /// has this title.
    QString luserRelay;
    bool enableSASLClient = false;
    bool requireSSLClient = false;
    int saslAuthMethodRow = 0;
    int mynetworksStyleRow = 0;
    bool enableSSL = false;
    bool requireSSL = false;
    QString custom;
    QString portNos;
    /// Both unset when sasl_passwd is empty or missing: the fields keep
    /// what they hold.
    std::optional<QString> smartHostUserID;
    std::optional<QString> smartHostPassword;
    QString sasldbPasswd;
    QString access;
    QString aliases;
    QString virtualDomains;
    QString virtualText;
    bool dkimSigning = false; ///< the block hands mail to the signing milter

    bool operator==(const PostfixSettings&) const = default;
};

/// The command lines loadPostfixSettings runs through "/bin/sh" "-c", in order.
QStringList postfixSettingsCommandLines();

/// Reads the tool's block of main.cf, the custom block, the port block of
/// master.cf and the maps through `run` (each section what its line of
/// postfixSettingsCommandLines gives, all in one run: readPostfixSections),
/// and answers the controls' values.
PostfixSettings loadPostfixSettings(const CommandRunner& run);

} // namespace brevane
