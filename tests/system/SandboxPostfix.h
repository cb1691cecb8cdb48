#pragma once

#include "postfix/PostfixConfig.h"

#include <QString>

// Postfix as the scenarios inside tests/system/sandbox.sh set it up: the
// server archive's configuration folder, configure-postfix.sh run as the
// helper runs it, the master started on the result.
namespace sandbox {

/// Where the server archive keeps Postfix's configuration.
inline const QString postfixConfigDir = QStringLiteral("/usr/local/tarnwick/postfix/etc");

/// A form as an administrator's first Apply gives it: the domain, the
/// default size limits and the postmaster every mail domain must have.
brevane::PostfixForm postfixForm(const QString& domain);

/// The configuration folder as the server archive leaves it: both defaults,
/// and a main.cf copied from them (postmap -c needs one on the first run).
void freshPostfixConfig();

/// The script's argument vector for the form; `script` in place of the
/// shipped configure-postfix.sh when given. A form the rules refuse fails
/// the calling test and answers an empty vector.
QStringList postfixArguments(const brevane::PostfixForm& form, const QString& script = {});

/// Runs the script from `resources` (a fresh folder holding the working
/// folder when empty), as the helper would; answers its output.
QString configurePostfix(const brevane::PostfixForm& form, const QString& resources = {}, const QString& script = {});

/// Fresh folder, the script with the form, then Postfix started on it.
void startPostfix(const brevane::PostfixForm& form);

} // namespace sandbox
