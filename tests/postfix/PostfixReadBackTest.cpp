// The read-back's one run beside each section's own command line, on real
// files in a temporary folder and through a real /bin/sh: the same text for
// every section, and the one awk taken whenever every file is regular or
// absent, the lines run otherwise.
#include "postfix/PostfixReadBack.h"
#include "privileged/TaskWrapper.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace brevane;

namespace {

enum class Kind { Plain, Link, Dangling, Folder };

struct File {
    QString name;
    QByteArray content;
    Kind kind = Kind::Plain;
};

struct Case {
    const char* name;
    QList<File> files;
    bool oneAwk = true;
};

const QString capturedDir = QStringLiteral(BREVANE_SOURCE_DIR "/tests/postfix/data/");
const QStringList allNames = {"main.cf", "master.cf", "sasl_passwd", "sasldb_passwd",
                              "access",  "aliases",   "virtual.db",  "virtual"};

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// A configuration folder as the real script and Postfix left it.
QList<File> captured(const QString& name)
{
    QList<File> files;
    for (const QString& file : QDir(capturedDir + name).entryList(QDir::Files))
        files.append({file, contentOf(capturedDir + name + u'/' + file)});
    if (files.size() < 2)
        ADD_FAILURE() << "no captured configuration in " << name.toStdString();
    return files;
}

QByteArray megabyteMainCf()
{
    QByteArray text;
    for (int i = 0; text.size() < 1'000'000; ++i) {
        text += "# comment " + QByteArray::number(i) + " $x\n";
        if (i == 9000)
            text += "###Start Brevane###\nmydomain=big.example\n###End Brevane###\n###Start Custom Config###\n";
    }
    return text + "###End Custom Config###";
}

const QByteArray dollars = "$\n$$\n$d\n'$d'\n$(echo run)\n`echo run`\n${x}\n###Start Brevane###$\n"
                           "###Start Brevane###\nkey=$value$\n$=$\n$###End Brevane###\n###End Brevane###\n$";

QList<Case> cases()
{
    return {
    {"a full configuration", captured("full")},
    {"a fresh installation", captured("fresh")},
    {"nothing at all", {}},
    {"every file empty", [] {
         QList<File> files;
         for (const QString& name : allNames)
             files.append({name, ""});
         return files;
     }()},
    {"no final line feed anywhere",
     {{"main.cf", "a=b\n###Start Brevane###\nmydomain=x\n###End Brevane###"},
      {"master.cf", "smtp inet\n###Start Brevane###\n2525 inet n\n587 inet n\n###End Brevane###"},
      {"access", "spam REJECT"},
      {"aliases", "x"},
      {"virtual.db", ""},
      {"virtual", "one anything\ntwo three"}}},
    {"blocks left open at the end without a line feed",
     {{"main.cf", "###Start Custom Config###\nx = y\n z\n###Start Brevane###\nmydomain=x"},
      {"master.cf", "###Start Brevane###\n2525 inet n"}}},
    {"CRLF lines",
     {{"main.cf", "###Start Brevane###\r\nmydomain=x\r\n###End Brevane###\r\n###Start Brevane###\nrelayhost=y\r\n"
                  "###End Brevane###\n###Start Custom Config###\r\n###Start Custom Config###\nq\r\n"
                  "###End Custom Config###\r\n###End Custom Config###\n"},
      {"sasl_passwd", "relay user:pw\r\n"},
      {"virtual", "a anything\r\nb c\r\n"}}},
    {"a $ in every position",
     {{"main.cf", dollars}, {"master.cf", dollars}, {"access", dollars}, {"sasl_passwd", "$ $:$"},
      {"virtual.db", "$"}, {"virtual", dollars}}},
    {"blocks twice, an end without a start, a start without an end",
     {{"main.cf", "###End Brevane###\n###Start Brevane###\na=1\n###End Brevane###\nb\n###Start Brevane###\nc=2\n"
                  "###End Brevane###\n###End Custom Config###\n###Start Custom Config###\none\n"
                  "###End Custom Config###\n###Start Custom Config###\ntwo\n###End Custom Config###\n"
                  "###Start Brevane###\nd=3\n"},
      {"master.cf", "###Start Brevane###\n###End Brevane###\n###Start Brevane###\n25 inet\n"}}},
    {"NUL, non-UTF-8 bytes and a boundary of another run",
     {{"main.cf", QByteArray("###Start Brevane###\nmydomain=a\0b\n###End Brevane###\n", 49)},
      {"aliases", "caf\xc3\xa9\n\xff\xfe\n"},
      {"access", "\n--brevane-section-0000\n"}}},
    {"a missing map",
     {{"main.cf", "###Start Brevane###\nmydomain=x\n###End Brevane###\n"}, {"virtual", "a anything\n"}}},
    {"maps that are links to files",
     {{"main.cf", "###Start Brevane###\nmydomain=x\n###End Brevane###\n"},
      {"elsewhere", "relay user:pw\n"},
      {"access", "elsewhere", Kind::Link},
      {"aliases", "access", Kind::Link},
      {"virtual.db", "elsewhere", Kind::Link},
      {"virtual", "elsewhere", Kind::Link}}},
    {"a 1 MB main.cf", {{"main.cf", megabyteMainCf()}, {"master.cf", megabyteMainCf()}}},
    {"a dangling link as a map", {{"access", "nowhere", Kind::Dangling}, {"aliases", "root: alice\n"}}, false},
    {"a folder as virtual.db",
     {{"virtual.db", "", Kind::Folder}, {"virtual", "a anything\n"}, {"access", "x OK\n"}}, false},
    {"a folder as main.cf", {{"main.cf", "", Kind::Folder}, {"access", "x OK\n"}}, false},
    };
}

void make(const QDir& dir, const File& file)
{
    const QString path = dir.filePath(file.name);
    if (file.kind == Kind::Link || file.kind == Kind::Dangling) {
        ASSERT_TRUE(QFile::link(dir.filePath(QString::fromUtf8(file.content)), path));
        return;
    }
    if (file.kind == Kind::Folder) {
        ASSERT_TRUE(dir.mkpath(file.name + QStringLiteral("/inside")));
        return;
    }
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file.content);
}

/// The helper's view of a run without the helper, with stand-ins that log
/// every start of the programs the read-back may use.
QString runLogged(const QStringList& arguments, const QString& bin)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", bin + ":/usr/bin:/bin");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(arguments.first(), arguments.mid(1));
    process.waitForFinished(60'000);
    return helperResult(process.readAllStandardOutput());
}

void writeStandIns(const QString& bin, const QString& log)
{
    ASSERT_TRUE(QDir().mkpath(bin));
    for (const char* name : {"awk", "sed", "cat", "ls"}) {
        QFile standIn(bin + u'/' + QLatin1String(name));
        ASSERT_TRUE(standIn.open(QIODevice::WriteOnly));
        standIn.write(QStringLiteral("#!/bin/sh\necho %1 >> '%2'\nPATH=/usr/bin:/bin exec %1 \"$@\"\n")
                          .arg(QLatin1String(name), log).toUtf8());
        standIn.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace

TEST(PostfixReadBack, EverySectionIsWhatItsOwnLineGives)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir temporary;
        const QDir dir(temporary.filePath("etc"));
        ASSERT_TRUE(dir.mkpath("."));
        for (const File& file : c.files)
            make(dir, file);
        const QString bin = temporary.filePath("bin");
        const QString log = temporary.filePath("started");
        writeStandIns(bin, log);

        const QStringList lines = postfixReadBackLines(dir.path());
        QStringList alone;
        for (const QString& line : lines)
            alone.append(runLogged(shellCommand(line), "/nowhere"));
        const QStringList sections
            = readPostfixSections([&bin](const QStringList& arguments) { return runLogged(arguments, bin); }, dir.path());

        ASSERT_EQ(sections.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_EQ(sections.at(i), alone.at(i)) << lines.at(i).toStdString();
        const bool awkOnly = contentOf(log) == "awk\n";
        EXPECT_EQ(awkOnly, c.oneAwk) << contentOf(log).toStdString();
    }
}
