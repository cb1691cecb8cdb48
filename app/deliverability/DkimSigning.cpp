#include "deliverability/DkimSigning.h"

#include <QRegularExpression>

namespace brevane::dkim {

namespace {

bool isHostName(const QString& name)
{
    static const QRegularExpression host(
        QStringLiteral("^(?=.{1,253}$)([a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?)(\\.[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?)*$"));
    return host.match(name).hasMatch();
}

} // namespace

bool isValidSelector(const QString& selector)
{
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    return label.match(selector).hasMatch();
}

bool namesSigner(const QString& milters)
{
    const QStringList entries = milters.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    return entries.contains(QLatin1String(signerSocket)) || entries.contains(QLatin1String(earlierSignerPort));
}

QStringList signingDomains(const QString& mydomain, const QString& virtualDomains)
{
    QStringList domains;
    const QStringList candidates = (mydomain + u' ' + virtualDomains)
                                       .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    for (QString name : candidates) {
        name = name.toLower();
        if (name.endsWith(u'.'))
            name.chop(1);
        if (isHostName(name) && !domains.contains(name))
            domains.append(name);
    }
    return domains;
}

QStringList scriptArguments(Mode mode, const QString& selector, const QStringList& domains, const QString& script)
{
    const QString word = mode == Mode::Sign ? QStringLiteral("sign") : mode == Mode::Off ? QStringLiteral("off")
                                                                                          : QStringLiteral("show");
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QString(), word, selector, domains.join(u' ')};
}

QMap<QString, QString> publicKeys(const QString& scriptOutput, const QString& selector)
{
    QMap<QString, QString> keys;
    for (const QString& line : scriptOutput.split(u'\n')) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        if (words.size() == 5 && words.at(0) == QLatin1String("DKIM") && words.at(1) == QLatin1String("key")
            && words.at(3) == selector)
            keys.insert(words.at(2), words.at(4));
    }
    return keys;
}

QString refusal(const QString& scriptOutput)
{
    const QString marker = QStringLiteral("Refused: ");
    for (const QString& line : scriptOutput.split(u'\n'))
        if (line.startsWith(marker))
            return line.mid(marker.size());
    return {};
}

} // namespace brevane::dkim
