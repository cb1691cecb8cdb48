#include "postfix/Certificates.h"
#include "shell/ResourcePaths.h"

#include "FetchmailRows.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

using namespace brevane;

namespace {

const QStringList placeholders{"country", "province", "locality", "organisation", "organisationalunit", "yourname",
                               "youremailaddress"};

// The script's expression for a placeholder: the word with a star after its
// last letter, anchored at the end of the line.
QRegularExpression placeholderExpression(const QString& word)
{
    return QRegularExpression(QRegularExpression::escape(word) + "*$");
}

} // namespace

TEST(CreateCerts, ArgumentsAreTrimmedInOrder)
{
    const QStringList arguments = createCertsArguments({" GB\t", "\tLondon", "City ", "Acme Ltd", "IT",
                                                        " mail.example.com ", "admin@example.com\n"});
    ASSERT_EQ(arguments.size(), 12);
    EXPECT_EQ(arguments.mid(0, 2), (QStringList{"/bin/sh", "-c"}));
    EXPECT_EQ(arguments.mid(3),
              (QStringList{"", "BrevaneStuff", "GB", "London", "City", "Acme Ltd", "IT", "mail.example.com",
                           "admin@example.com\n"}));
}

TEST(CreateCerts, ScriptKeepsItsGivenLines)
{
    const QString script = createCertsArguments({}).at(2);
    EXPECT_TRUE(script.endsWith("\n"));
    QStringList lines = script.split('\n');
    const QStringList given{
        "currentDir=$1 ", "country=$2 ", "province=$3 ", "locality=$4 ", "organisation=$5 ",
        "organisationalunit=$6 ", "yourname=$7 ", "youremailaddress=$8 ", "cd \"$currentDir\" ",
        "/usr/bin/openssl req -new -x509 -nodes -out cert.pem -keyout cert.pem -days 3650 -config openssl.cnf.temp ",
        "rm -f openssl.cnf.temp cert.pem ",
        "echo NOTE : Please look into /System/Library/OpenSSL/certs "};
    qsizetype at = -1;
    for (const QString& line : given) {
        const qsizetype found = lines.indexOf(line, at + 1);
        EXPECT_GT(found, at) << line.toStdString();
        at = found;
    }
    // The fill keeps its expressions and their order; "t" only ends a line's cycle.
    const qsizetype fill = lines.indexOf(QRegularExpression("cat openssl.cnf \\| sed .*"));
    ASSERT_GE(fill, 0);
    QString expressions = lines.at(fill);
    expressions.replace(" ; t ;", " ;");
    EXPECT_EQ(expressions,
              QString("cat openssl.cnf | sed \"s/country*$/$country/ ; s/province*$/$province/ ; "
                      "s/locality*$/$locality/ ; s/organisation*$/$organisation/ ; "
                      "s/organisationalunit*$/$organisationalunit/ ; s/yourname*$/$yourname/ ; "
                      "s/youremailaddress*$/$youremailaddress/\" | sed '/^[A-Za-z]* = *$/d' > openssl.cnf.temp "));
}

TEST(CreateCerts, TemplateGivesEachPlaceholderOneLine)
{
    QFile file(QStringLiteral(BREVANE_SOURCE_RESOURCES "/BrevaneStuff/openssl.cnf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');

    // Each line takes the first expression that matches it (later ones are
    // skipped); every placeholder must own exactly one line, nothing else.
    QStringList filled;
    for (const QString& line : lines) {
        for (const QString& word : placeholders) {
            if (placeholderExpression(word).match(line).hasMatch()) {
                EXPECT_TRUE(line.endsWith(" = " + word)) << line.toStdString();
                filled.append(word);
                break;
            }
        }
    }
    EXPECT_EQ(filled, placeholders);
}
