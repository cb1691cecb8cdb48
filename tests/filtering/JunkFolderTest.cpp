#include "filtering/JunkFolder.h"

#include "ConfigFileText.h"

#include "shell/ResourcePaths.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace brevane::filtering;

namespace {

const QList<ConfigFile> rspamd = rspamdFiles({ true, "6", "15", true, true });
const QList<ConfigFile> dovecot = junkFiles();

} // namespace

// The halves must agree: the header the milter adds is the one the sieve
// files by, and the users' learning runs as the one account besides root
// that may open the controller's socket, and opens that socket.
TEST(JunkFolder, DovecotAndRspamdAgree)
{
    const QString header = QRegularExpression(QStringLiteral("spam_header = \"([^\"]+)\";"))
                               .match(fileText(rspamd, "worker-proxy.inc"))
                               .captured(1);
    EXPECT_TRUE(fileText(dovecot, "junk.sieve").contains("if header :contains \"" + header + "\" \"Yes\""));

    // One socket, no port.
    const QString controller = fileText(rspamd, "worker-controller.inc");
    EXPECT_EQ(controller.count(QLatin1String("bind_socket")), 1);
    const QRegularExpressionMatch bind
        = QRegularExpression(QStringLiteral("bind_socket = \"(/[^ \"]+) mode=0660 owner=root group=([^ \"]+)\";"))
              .match(controller);
    ASSERT_TRUE(bind.hasMatch()) << controller.toStdString();
    EXPECT_TRUE(
        fileText(dovecot, "learning.conf.ext").contains(QStringLiteral("\n  user = %1\n").arg(bind.captured(2))));
    EXPECT_TRUE(fileText(dovecot, "rspamd-learn").contains("rspamc -h " + bind.captured(1) + ' '));
}

// The script writes only the names it knows: each file the window sends
// must be one of them, or "on" is refused.
TEST(JunkFolder, TheScriptAcceptsEveryFileSent)
{
    const QString script = brevane::scriptText(QStringLiteral("configure-filtering.sh"));
    ASSERT_FALSE(script.isEmpty());
    const QStringList arguments = scriptArguments(Mode::On, { true, "6", "15", false, true }, script);
    ASSERT_EQ(arguments.size(), 6 + 2 * (rspamd.size() + dovecot.size()));
    for (qsizetype i = 6; i < arguments.size(); i += 2) {
        const QRegularExpression accepted(QStringLiteral("\n    ([a-z_.-]+\\|)*%1(\\|[a-z_.-]+)*\\) ;;\n")
                                              .arg(QRegularExpression::escape(arguments.at(i))));
        EXPECT_TRUE(script.contains(accepted)) << arguments.at(i).toStdString();
    }
}
