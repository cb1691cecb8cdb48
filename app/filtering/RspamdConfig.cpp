#include "filtering/RspamdConfig.h"

#include "filtering/JunkFolder.h"

#include <QRegularExpression>

namespace brevane::filtering {

namespace {

    QString number(double value)
    {
        return QString::number(value, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
    }

    QString flag(bool on)
    {
        return on ? QStringLiteral("true") : QStringLiteral("false");
    }

    const QString written = QStringLiteral("# Written by Brevane's Filtering tab; changes here are replaced.\n");

} // namespace

double greylistScore(double headerScore)
{
    return headerScore > 6 ? 4 : headerScore * 2 / 3;
}

QList<ConfigFile> rspamdFiles(const FilteringSettings& settings)
{
    const double header = parseScore(settings.headerScore).value_or(6);
    const double reject = parseScore(settings.rejectScore).value_or(15);
    const QString greylist = settings.greylisting ? number(greylistScore(header)) : QStringLiteral("null");
    QList<ConfigFile> files {
        { QStringLiteral("actions.conf"),
            written
                + QStringLiteral("reject = %1;\nadd_header = %2;\ngreylist = %3;\n")
                      .arg(number(reject), number(header), greylist) },
        { QStringLiteral("greylist.conf"),
            written + QStringLiteral("enabled = %1;\n").arg(flag(settings.greylisting)) },
        // Statistics and greylisting in our own redis, reached only through a
        // socket in a folder that redis and rspamd alone may enter.
        { QStringLiteral("redis.conf"),
            written + QStringLiteral("servers = \"%1/redis/redis.sock\";\n").arg(QLatin1String(rspamdFolder)) },
        { QStringLiteral("classifier-bayes.conf"),
            written + QStringLiteral("backend = \"redis\";\nautolearn = false;\n") },
        // The proxy scans by itself: no normal worker, no upstream to reach.
        // Its socket is open to every local user, as its loopback port is.
        { QStringLiteral("worker-proxy.inc"),
            written
                + QStringLiteral("bind_socket = \"127.0.0.1:%1\";\nbind_socket = \"%2 mode=0666\";\nmilter = yes;\ntimeout = 120s;\n"
                                 "upstream \"local\" {\n  default = yes;\n  self_scan = yes;\n}\n"
                                 "spam_header = \"X-Spam\";\nreject_message = \"Spam message rejected\";\n")
                      .arg(milterPort)
                      .arg(QLatin1String(milterSocketPath)) },
        { QStringLiteral("worker-normal.inc"), written + QStringLiteral("enabled = false;\n") },
        // Learning goes through a socket only root and rspamd's own account
        // may open: the window as root, the users' Junk folders through a
        // Dovecot service running as that account.
        { QStringLiteral("worker-controller.inc"),
            written
                + QStringLiteral("bind_socket = \"%1/run/controller.sock mode=0660 owner=root group=%2\";\n")
                      .arg(QLatin1String(rspamdFolder), QLatin1String(learningUser)) },
        // Every message gets its verdict, the clean ones too.
        { QStringLiteral("milter_headers.conf"),
            written
                + QStringLiteral("use = [\"x-spam-status\"];\nskip_local = false;\nskip_authenticated = false;\n") },
    };
    QString antivirus = written;
    if (settings.virusScanning)
        antivirus
            += QStringLiteral("clamav {\n  type = \"clamav\";\n  servers = \"127.0.0.1:%1\";\n  action = \"reject\";\n"
                              "  message = '${SCANNER}: virus found: \"${VIRUS}\"';\n  symbol = \"CLAM_VIRUS\";\n"
                              "  scan_mime_parts = true;\n  max_size = 20000000;\n  log_clean = true;\n}\n")
                   .arg(clamdPort);
    files.append({ QStringLiteral("antivirus.conf"), antivirus });
    return files;
}

QStringList scriptArguments(Mode mode, const FilteringSettings& settings, const QString& script)
{
    const QString word = mode == Mode::On ? QStringLiteral("on")
        : mode == Mode::Off               ? QStringLiteral("off")
                                          : QStringLiteral("show");
    QStringList arguments { QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QString(), word,
        settings.virusScanning ? QStringLiteral("yes") : QStringLiteral("no") };
    if (mode == Mode::On)
        for (const ConfigFile& file : rspamdFiles(settings) + junkFiles())
            arguments << file.name << file.text;
    return arguments;
}

FilteringSettings installedSettings(const QString& showOutput)
{
    FilteringSettings settings;
    QString file;
    bool jobs = false;
    bool clamav = false;
    static const QRegularExpression assignment(QStringLiteral("^\\s*([a-z_]+)\\s*=\\s*([^;]*);"));
    for (const QString& line : showOutput.split(u'\n')) {
        if (line.startsWith(QLatin1String("--- "))) {
            file = line.mid(4).trimmed();
            continue;
        }
        if (line == QLatin1String("JOB rspamd"))
            jobs = true;
        const QRegularExpressionMatch match = assignment.match(line);
        if (file == QLatin1String("antivirus.conf") && line.startsWith(QLatin1String("clamav {")))
            clamav = true;
        if (!match.hasMatch())
            continue;
        const QString key = match.captured(1);
        const QString value = match.captured(2).trimmed();
        if (file == QLatin1String("actions.conf") && key == QLatin1String("add_header"))
            settings.headerScore = value;
        else if (file == QLatin1String("actions.conf") && key == QLatin1String("reject"))
            settings.rejectScore = value;
        else if (file == QLatin1String("greylist.conf") && key == QLatin1String("enabled"))
            settings.greylisting = value == QLatin1String("true");
    }
    settings.spamFiltering = jobs;
    if (jobs)
        settings.virusScanning = clamav;
    return settings;
}

} // namespace brevane::filtering
