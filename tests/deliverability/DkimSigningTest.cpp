#include "deliverability/DkimSigning.h"

#include <gtest/gtest.h>

using namespace brevane::dkim;

TEST(DkimSigning, SelectorsAreOneDnsLabel)
{
    const struct {
        const char* selector;
        bool valid;
    } cases[] = {
        {"brevane", true}, {"s2026-12", true}, {"A", true}, {"", false}, {"-lead", false}, {"trail-", false},
        {"two.labels", false}, {"under_score", false}, {"a b", false}, {"x;rm -rf /", false}, {"../keys", false},
        {"sel\nKeyTable", false}, {"s\u00e9l", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidSelector(QString::fromUtf8(c.selector)), c.valid) << c.selector;
    EXPECT_TRUE(isValidSelector(QString(63, u'a')));
    EXPECT_FALSE(isValidSelector(QString(64, u'a')));
}

TEST(DkimSigning, SigningDomainsAreTheMailDomainThenTheVirtualOnesOnce)
{
    EXPECT_EQ(signingDomains("Example.COM.", "virtual.example, example.com  other.example"),
              QStringList({"example.com", "virtual.example", "other.example"}));
    EXPECT_EQ(signingDomains("", ""), QStringList());
    // Names no host name may have never reach the script.
    EXPECT_EQ(signingDomains("exa$mple.com", "../etc, -bad.example,good.example"), QStringList({"good.example"}));
}

TEST(DkimSigning, TheMilterListNamesTheSignerOnItsSocketOrEarlierPort)
{
    for (const char* milters : {"unix:brevane-opendkim/opendkim.sock", "inet:127.0.0.1:11432, inet:127.0.0.1:8891"})
        EXPECT_TRUE(namesSigner(QString::fromUtf8(milters))) << milters;
    for (const char* milters : {"", "inet:127.0.0.1:11432", "inet:127.0.0.1:88910", "unix:brevane-opendkim/opendkim.sock.old"})
        EXPECT_FALSE(namesSigner(QString::fromUtf8(milters))) << milters;
}

TEST(DkimSigning, ScriptArgumentsNameTheModeSelectorAndDomains)
{
    EXPECT_EQ(scriptArguments(Mode::Sign, "sel", {"a.example", "b.example"}, "SCRIPT"),
              QStringList({"/bin/sh", "-c", "SCRIPT", "", "sign", "sel", "a.example b.example"}));
    EXPECT_EQ(scriptArguments(Mode::Off, "sel", {}, "SCRIPT").at(4), "off");
    EXPECT_EQ(scriptArguments(Mode::Show, "sel", {}, "SCRIPT").at(4), "show");
}

TEST(DkimSigning, PublicKeysAreReadFromTheScriptsLinesOfTheSelector)
{
    const QString output = QStringLiteral("noise\nDKIM key a.example sel MIIBa\nDKIM key b.example old MIIBb\n"
                                          "DKIM key c.example sel\nDKIM key d.example sel MIIBd\n");
    const QMap<QString, QString> keys = publicKeys(output, "sel");
    EXPECT_EQ(keys.size(), 2);
    EXPECT_EQ(keys.value("a.example"), "MIIBa");
    EXPECT_EQ(keys.value("d.example"), "MIIBd");
    EXPECT_EQ(refusal("x\nRefused: selector a;b\n"), "selector a;b");
    EXPECT_EQ(refusal(output), "");
}
