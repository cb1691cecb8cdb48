#include "postfix/PostfixValueRules.h"

#include <QRegularExpression>

#include <algorithm>

namespace brevane {

namespace {

const QString host = QStringLiteral(R"([A-Za-z0-9_-]+(?:\.[A-Za-z0-9_-]+)*\.?)");
// A domain that may hold parameter references: localhost.$mydomain.
const QString hostWithReferences = QStringLiteral(R"((?:[A-Za-z0-9_.-]|\$[A-Za-z0-9_]+|\$\{[A-Za-z0-9_]+\})+)");
// Postfix takes a destination domain in UTF-8 as typed, whatever its
// letters (SMTPUTF8 is on from compatibility level 3.0): local mail for
// bücher.example arrives.
const QString destination = QStringLiteral(
    R"((?:[A-Za-z0-9_.-]|[^\x00-\x7F]|\$[A-Za-z0-9_]+|\$\{[A-Za-z0-9_]+\})+)");
const QString port = QStringLiteral("(?:[0-9]{1,5}|[A-Za-z][A-Za-z0-9-]*)");

bool matchesWhole(const QString& pattern, const QString& text)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch();
}

bool portNumberInRange(const QString& word)
{
    const QString last = word.section(u':', -1);
    bool number = false;
    const int value = last.toInt(&number);
    return !number || (value >= 1 && value <= 65535);
}

bool wordFits(PostfixValueKind kind, const QString& word)
{
    switch (kind) {
    case PostfixValueKind::RelayHosts:
        return matchesWhole(QStringLiteral(R"((?:\[[A-Za-z0-9._:-]+\]|%1)(?::%2)?)").arg(hostWithReferences, port),
                            word)
               && portNumberInRange(word);
    case PostfixValueKind::Destinations:
        return matchesWhole(destination, word) || matchesWhole(QStringLiteral("[a-z0-9_]+:/[^,\\s]+"), word);
    case PostfixValueKind::RblSites:
        return matchesWhole(host + QStringLiteral(R"((?:=[0-9.\[\];]+)?)"), word);
    case PostfixValueKind::Ports:
        return matchesWhole(QStringLiteral(R"((?:(?:%1|\[[0-9A-Fa-f:.]+\]):)?%2)").arg(host, port), word)
               && portNumberInRange(word);
    case PostfixValueKind::Domains:
    case PostfixValueKind::HostName:
        return matchesWhole(host, word);
    default:
        return true;
    }
}

} // namespace

bool postfixCanTake(PostfixValueKind kind, const QString& value)
{
    switch (kind) {
    case PostfixValueKind::AnyText:
        return true;
    case PostfixValueKind::HostName:
        return wordFits(kind, value);
    case PostfixValueKind::Size:
        return !value.startsWith(u'-');
    default:
        break;
    }
    const QStringList words = value.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    return std::all_of(words.cbegin(), words.cend(), [kind](const QString& word) { return wordFits(kind, word); });
}

} // namespace brevane
