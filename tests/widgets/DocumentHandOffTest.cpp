#include "shell/DocumentHandOff.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

TEST(DocumentHandOff, ASecondLaunchHandsItsDocumentsToTheFirst)
{
    EXPECT_FALSE(DocumentHandOff::handToRunningInstance({"/tmp/x.brvn"})) << "nothing listens yet";
    QStringList opened;
    DocumentHandOff first;
    first.listen([&opened](const QString& path) { opened.append(path); });
    EXPECT_FALSE(DocumentHandOff::handToRunningInstance({})) << "no document, nothing to hand over";
    EXPECT_TRUE(DocumentHandOff::handToRunningInstance({"/home/a/one.brvn", "/home/a/two words.brvn"}));
    for (int i = 0; i < 100 && opened.size() < 2; ++i)
        QTest::qWait(10);
    EXPECT_EQ(opened, (QStringList{"/home/a/one.brvn", "/home/a/two words.brvn"}));
}

TEST(DocumentHandOff, OnlyAPrivateFolderOfTheUserHoldsTheSocket)
{
    QTemporaryDir dir;
    const QString own = dir.filePath("own"), open = dir.filePath("open"), link = dir.filePath("link");
    QDir().mkdir(own);
    QDir().mkdir(open);
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QFile::link(own, link);
    const struct {
        QString folder;
        bool isPrivate;
    } cases[] = {{own, true}, {open, false}, {link, false}, {dir.filePath("missing"), false}, {"", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentHandOff::isPrivateFolder(c.folder, ::getuid()), c.isPrivate) << c.folder.toStdString();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(c.folder));
        EXPECT_EQ(DocumentHandOff::socketPath().startsWith(own + '/'), c.isPrivate) << c.folder.toStdString();
    }
    EXPECT_FALSE(DocumentHandOff::isPrivateFolder(own, ::getuid() + 1));
    qunsetenv("XDG_RUNTIME_DIR");
}

// Another user on the machine listens first where the hand-off used to be
// and also takes the fallback folder's name: no path reaches them and the
// second launch does not quit for them.
TEST(DocumentHandOffSandbox, AnotherUsersListenerGetsNoPaths)
{
    if (qEnvironmentVariable("BREVANE_IN_SANDBOX") != QLatin1String("1") || ::geteuid() != 0)
        GTEST_SKIP() << "runs only inside tests/system/sandbox.sh";
    qunsetenv("XDG_RUNTIME_DIR");
    QProcess::execute("useradd", {"-m", "attacker"});
    const QString squat = QDir::tempPath() + QStringLiteral("/brevane-documents-%1").arg(::getuid());
    const QString loot = "/home/attacker/paths";
    QProcess attacker;
    attacker.start("setpriv", {"--reuid=attacker", "--regid=attacker", "--clear-groups", "sh", "-c",
                               "mkdir -m 700 " + QDir::tempPath() + QStringLiteral("/brevane-%1").arg(::getuid())
                                   + " && exec python3 -c \"import socket,os,sys\ns=socket.socket(socket.AF_UNIX)\n"
                                     "s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o777); s.listen()\n"
                                     "c,_=s.accept(); open(sys.argv[2],'wb').write(c.recv(4096))\" "
                                   + squat + " " + loot});
    for (int i = 0; i < 200 && !QFileInfo::exists(squat); ++i)
        QTest::qWait(10);
    ASSERT_TRUE(QFileInfo::exists(squat));
    EXPECT_FALSE(DocumentHandOff::handToRunningInstance({"/root/secret.brvn"}));
    attacker.waitForFinished(500);
    attacker.kill();
    attacker.waitForFinished();
    EXPECT_FALSE(QFileInfo::exists(loot));
}
