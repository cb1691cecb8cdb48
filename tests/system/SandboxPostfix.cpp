#include "SandboxPostfix.h"

#include "SandboxRun.h"
#include "shell/ResourcePaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace sandbox {

brevane::PostfixForm postfixForm(const QString& domain)
{
    brevane::PostfixForm form;
    form.mydomain = domain;
    form.messagesize = QStringLiteral("10240000");
    form.mailboxsize = QStringLiteral("51200000");
    form.aliases = QStringLiteral("postmaster: root");
    return form;
}

void freshPostfixConfig()
{
    QDir().mkpath(postfixConfigDir);
    for (const char* name : { "main.cf.default", "master.cf.default" }) {
        const QString target = postfixConfigDir + '/' + name;
        QFile::remove(target);
        QFile::copy(QStringLiteral(BREVANE_SOURCE_DIR "/server/usr/local/tarnwick/postfix/etc/") + name, target);
    }
    QFile::remove(postfixConfigDir + "/main.cf");
    QFile::copy(postfixConfigDir + "/main.cf.default", postfixConfigDir + "/main.cf");
}

QStringList postfixArguments(const brevane::PostfixForm& form, const QString& script)
{
    const brevane::PostfixConfigResult result = brevane::collectPostfixConfig(
        form, script.isEmpty() ? brevane::scriptText(QStringLiteral("configure-postfix.sh")) : script);
    EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    return result.arguments;
}

QString configurePostfix(const brevane::PostfixForm& form, const QString& resources, const QString& script)
{
    const QStringList arguments = postfixArguments(form, script);
    if (arguments.isEmpty())
        return {};
    if (!resources.isEmpty())
        return runAsHelper(arguments, resources);
    QTemporaryDir fresh;
    QDir(fresh.path()).mkpath(QString::fromLatin1(brevane::workingFolderName));
    return runAsHelper(arguments, fresh.path());
}

void startPostfix(const brevane::PostfixForm& form)
{
    freshPostfixConfig();
    configurePostfix(form);
    run({ QStringLiteral("postfix"), QStringLiteral("-c"), postfixConfigDir, QStringLiteral("start") });
}

} // namespace sandbox
