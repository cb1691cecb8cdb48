#include "postfix/PostfixCheck.h"

#include <QRegularExpression>

namespace brevane {

namespace {

const QString marker = QStringLiteral("check-postfix: ");
constexpr int shownLines = 4;

CheckResult resultNamed(const QString& word)
{
    static const QList<std::pair<QString, CheckResult>> names{
        {QStringLiteral("up"), CheckResult::Up},           {QStringLiteral("refused"), CheckResult::Refused},
        {QStringLiteral("down"), CheckResult::Down},       {QStringLiteral("unchanged"), CheckResult::Unchanged},
        {QStringLiteral("unsafe"), CheckResult::Unsafe},   {QStringLiteral("restored"), CheckResult::Restored},
        {QStringLiteral("none"), CheckResult::None},       {QStringLiteral("rejecting"), CheckResult::Rejecting},
        {QStringLiteral("busy"), CheckResult::Busy},
    };
    for (const auto& [name, result] : names) {
        if (name == word)
            return result;
    }
    return CheckResult::Unknown;
}

QStringList checkVector(const QString& script, const QStringList& rest)
{
    return QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QString()} + rest;
}

// Parameters the tool's own block sets from one field.
QString fieldOfParameter(const QString& name)
{
    static const QList<std::pair<const char*, const char*>> fields{
        {"mydomain", "mail domain field"},
        {"myhostname", "mail domain field"},
        {"myorigin", "origin domain field"},
        {"relayhost", "relay host field"},
        {"mydestination", "destination domains field"},
        {"smtpd_client_restrictions", "blacklist sites field"},
        {"luser_relay", "unknown-user choice"},
        {"message_size_limit", "largest message field"},
        {"mailbox_size_limit", "largest mailbox field"},
        {"virtual_alias_maps", "virtual field"},
    };
    for (const auto& [parameter, field] : fields) {
        if (name == QLatin1String(parameter))
            return QString::fromLatin1(field);
    }
    return {};
}

// Names of the parameters the custom lines set.
QStringList customParameters(const QString& custom)
{
    QStringList names;
    static const QRegularExpression setting(QStringLiteral(R"(^([A-Za-z0-9_]+)\s*=)"));
    for (const QString& line : custom.split(u'\n')) {
        const auto match = setting.match(line);
        if (match.hasMatch())
            names.append(match.captured(1));
    }
    return names;
}

// The parameter a Postfix message is about: "bad numerical configuration:
// message_size_limit = 10MB", "config variable inet_interfaces: ...",
// "parameter inet_interfaces: ...".
QString parameterIn(const QString& line)
{
    static const QRegularExpression patterns(QStringLiteral(
        R"((?:configuration: |config variable |parameter |unused parameter: )([A-Za-z0-9_]+))"));
    const auto match = patterns.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString mapFieldIn(const QString& line)
{
    static const QList<std::pair<const char*, const char*>> maps{
        {"/etc/access", "access field"},
        {"/etc/aliases", "aliases field"},
        {"/etc/virtual", "virtual field"},
        {"/etc/sasl_passwd", "relay user name field"},
    };
    for (const auto& [file, field] : maps) {
        if (line.contains(QLatin1String(file)))
            return QString::fromLatin1(field);
    }
    return {};
}

// Whether the line names a table ("hash:/x") or quotes a word that the
// custom lines hold: Postfix's words on a restriction it does not know or
// a table it cannot open name neither a parameter nor a line.
bool quotesCustomText(const QString& line, const QString& custom)
{
    static const QRegularExpression named(QStringLiteral(R"re("([^"]+)"|\b([a-z]+:/[^\s,]+))re"));
    for (auto it = named.globalMatch(line); it.hasNext();) {
        const auto match = it.next();
        const QString text = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
        if (custom.contains(text))
            return true;
    }
    return false;
}

bool namesExtraPort(const QString& line, const QString& portNos)
{
    static const QRegularExpression port(QStringLiteral(R"(port (\d+)\b)"));
    const auto match = port.match(line);
    if (!match.hasMatch())
        return line.contains(QLatin1String("master.cf")) && !portNos.trimmed().isEmpty();
    const QStringList ports = portNos.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    for (const QString& entry : ports) {
        if (entry.section(u':', -1) == match.captured(1))
            return true;
    }
    return false;
}

// The tool's own block writes these for the Mac's password server; Debian's
// Postfix does not know them, and the administrator cannot change that.
QStringList worthShowing(const QStringList& notes)
{
    static const QStringList own{QStringLiteral("smtpd_use_pw_server"), QStringLiteral("enable_server_options"),
                                 QStringLiteral("smtpd_pw_server_security_options")};
    QStringList shown;
    for (const QString& note : notes) {
        if (!own.contains(parameterIn(note)))
            shown.append(note);
    }
    return shown;
}

QString firstLines(const QStringList& lines)
{
    return lines.mid(0, shownLines).join(u'\n');
}

QString failureTitle(CheckResult result)
{
    if (result == CheckResult::Refused)
        return QStringLiteral("Postfix refused the new configuration.");
    if (result == CheckResult::Rejecting)
        return QStringLiteral("Postfix came up on the new configuration but refused mail with it.");
    return QStringLiteral("Postfix did not come up on the new configuration.");
}

QString busyWords(const QString& outcome)
{
    return QStringLiteral("Another apply or restore of the Postfix configuration (from another window or user) "
                          "still ran after a minute; %1. Try again once it has finished.")
        .arg(outcome);
}

QString previousState(const PostfixCheckOutcome& outcome)
{
    if (outcome.previousUp.value_or(false))
        return QStringLiteral("Brevane put the previous configuration back, and Postfix runs on it.");
    return QStringLiteral("Brevane put the previous configuration back, but Postfix did not come up on it either.");
}

} // namespace

PostfixCheckOutcome parsePostfixCheck(const QString& output)
{
    PostfixCheckOutcome outcome;
    for (const QString& line : output.split(u'\n')) {
        if (!line.startsWith(marker))
            continue;
        const QString rest = line.mid(marker.size());
        const QString word = rest.section(u' ', 0, 0);
        const QString text = rest.section(u' ', 1);
        if (word == QLatin1String("said"))
            outcome.said.append(text);
        else if (word == QLatin1String("note"))
            outcome.notes.append(text);
        else if (word == QLatin1String("result"))
            outcome.result = resultNamed(text);
        else if (word == QLatin1String("busy"))
            outcome.busyPorts.append(text);
        else if (word == QLatin1String("unsaved"))
            outcome.unsaved = text;
        else if (word == QLatin1String("previous"))
            outcome.previousUp = text == QLatin1String("up");
    }
    return outcome;
}

QStringList applyPostfixArguments(const QStringList& configureArguments, const QString& checkScript)
{
    // configureArguments: "/bin/sh", "-c", script, "", then the values.
    return checkVector(checkScript, QStringList{QStringLiteral("apply")} + configureArguments.mid(2, 1)
                                        + configureArguments.mid(4));
}

QStringList restorePostfixArguments(const QString& checkScript)
{
    return checkVector(checkScript, {QStringLiteral("restore")});
}

QStringList lastWorkingSavedArguments(const QString& checkScript)
{
    return checkVector(checkScript, {QStringLiteral("saved")});
}

QString fieldNamedBy(const PostfixCheckOutcome& outcome, const PostfixForm& form)
{
    const QStringList custom = customParameters(form.custom);
    QStringList lines = outcome.said;
    for (const QString& busy : outcome.busyPorts)
        lines.prepend(QStringLiteral("port ") + busy.section(u' ', 0, 0));
    for (const QString& line : lines) {
        if (const QString map = mapFieldIn(line); !map.isEmpty())
            return map;
        if (!form.custom.trimmed().isEmpty() && quotesCustomText(line, form.custom))
            return QStringLiteral("custom lines field");
        if (namesExtraPort(line, form.portNos))
            return QStringLiteral("extra ports field");
        const QString parameter = parameterIn(line);
        // The custom lines come last in main.cf: theirs is the value Postfix read.
        if (!parameter.isEmpty() && custom.contains(parameter))
            return QStringLiteral("custom lines field");
        if (const QString field = fieldOfParameter(parameter); !field.isEmpty())
            return field;
        if (line.contains(QLatin1String("main.cf, line")) && !form.custom.trimmed().isEmpty())
            return QStringLiteral("custom lines field");
    }
    return {};
}

std::optional<AlertSpec> applyAlert(const PostfixCheckOutcome& outcome, const PostfixForm& form)
{
    const QString field = fieldNamedBy(outcome, form);
    const QString look = field.isEmpty() ? QString() : QStringLiteral("Look at the %1. ").arg(field);
    switch (outcome.result) {
    case CheckResult::Refused:
    case CheckResult::Rejecting:
    case CheckResult::Down: {
        AlertSpec alert;
        alert.title = failureTitle(outcome.result);
        const QString words = outcome.said.isEmpty() ? QStringLiteral("(Postfix logged nothing.)")
                                                     : firstLines(outcome.said);
        QString busy;
        for (const QString& entry : outcome.busyPorts)
            busy += QStringLiteral("Another program (%1) already listens on port %2. ")
                        .arg(entry.section(u' ', 1), entry.section(u' ', 0, 0));
        alert.message = QStringLiteral("Postfix said:\n%1\n\n%2%3%4").arg(words, busy, look, previousState(outcome));
        return alert;
    }
    case CheckResult::Up: {
        const QStringList notes = worthShowing(outcome.notes);
        if (!outcome.unsaved.isEmpty()) {
            const QString noted = notes.isEmpty() ? QString()
                                                  : QStringLiteral("\n\nPostfix said:\n") + firstLines(notes);
            return AlertSpec{QStringLiteral("Postfix runs on the new configuration."),
                             QStringLiteral("Applied, but the last working configuration could not be saved: ")
                                 + outcome.unsaved + noted,
                             QStringLiteral("OK")};
        }
        if (notes.isEmpty())
            return std::nullopt;
        return AlertSpec{QStringLiteral("Postfix runs on the new configuration, with warnings."),
                         QStringLiteral("Postfix said:\n%1").arg(firstLines(notes)), QStringLiteral("OK"), {}, {},
                         true};
    }
    case CheckResult::Unsafe:
        return AlertSpec{QStringLiteral("The Postfix configuration was not written."),
                         QStringLiteral("Brevane keeps a copy of the configuration in /var/lib/brevane before it "
                                        "writes a new one, and that folder is not root's alone; Brevane wrote nothing."),
                         QStringLiteral("OK")};
    case CheckResult::Busy:
        return AlertSpec{QStringLiteral("The Postfix configuration was not written."),
                         busyWords(QStringLiteral("Brevane wrote nothing")), QStringLiteral("OK")};
    case CheckResult::Unknown:
        return AlertSpec{QStringLiteral("The Postfix configuration was not written."),
                         QStringLiteral("The privileged run did not report back."), QStringLiteral("OK")};
    default:
        return std::nullopt;
    }
}

AlertSpec refusedCustomLineAlert(const QString& line, const QStringList& said)
{
    const QString title = QStringLiteral("The Postfix configuration was not written.");
    if (said.isEmpty())
        return {title, customLineRefusal(line), QStringLiteral("OK")};
    return {title,
            QStringLiteral("Postfix said:\n%1\n\nLook at the custom lines field; Brevane wrote nothing.")
                .arg(firstLines(said)),
            QStringLiteral("OK")};
}

AlertSpec restoreAlert(const PostfixCheckOutcome& outcome, const QString& savedAt)
{
    if (outcome.result == CheckResult::Busy)
        return {QStringLiteral("The last working configuration was not restored."),
                busyWords(QStringLiteral("nothing was restored")), QStringLiteral("OK")};
    if (outcome.result != CheckResult::Restored)
        return {QStringLiteral("There is no working configuration to restore."),
                QStringLiteral("Brevane keeps one once Postfix has come up on a configuration it wrote."),
                QStringLiteral("OK"), {}, {}, true};
    AlertSpec alert;
    alert.title = QStringLiteral("The last working configuration is back.");
    alert.informational = outcome.previousUp.value_or(false);
    alert.message = QStringLiteral("It was saved on %1. ").arg(savedAt.isEmpty() ? QStringLiteral("earlier") : savedAt)
        + (alert.informational ? QStringLiteral("Postfix runs on it.")
                               : QStringLiteral("Postfix did not come up on it; Postfix said:\n")
                   + firstLines(outcome.said));
    return alert;
}

} // namespace brevane
