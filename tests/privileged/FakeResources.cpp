#include "FakeResources.h"

#include <QFile>

namespace {

const char fakeHelper[] = R"sh(#!/bin/sh
dir=$(dirname "$0")
cat > "$dir/stdin.bin"
echo started >> "$dir/starts.log"
[ "$(wc -c < "$dir/stdin.bin")" -eq 32 ] || exit 1
exec "$@"
)sh";

const char fakeAuthority[] = R"sh(#!/bin/sh
dir=$(dirname "$0")
echo "$*" >> "$dir/authority.log"
case "$1" in
exists) [ -f "$dir/right" ] ;;
define) cat > /dev/null; shift 2
        [ -f "$dir/right" ] || printf '%s\n' "$@" > "$dir/right" ;;
grant)  input=$(tr '\0' ':')
        [ "$input" = "alice:good" ] || exit 1
        echo granted >> "$dir/grants.log"
        printf '%032d' "$(wc -l < "$dir/grants.log")" ;;
*) exit 2 ;;
esac
)sh";

void writeScript(const QString& path, const char* text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace

FakeResources::FakeResources()
    : m_previous(qgetenv("BREVANE_RESOURCES"))
{
    writeScript(path() + "/shellTool", fakeHelper);
    writeScript(path() + "/brevane-authorize", fakeAuthority);
    qputenv("BREVANE_RESOURCES", path().toUtf8());
}

FakeResources::~FakeResources()
{
    if (m_previous.isEmpty())
        qunsetenv("BREVANE_RESOURCES");
    else
        qputenv("BREVANE_RESOURCES", m_previous);
}

QByteArray FakeResources::file(const QString& name) const
{
    QFile file(path() + "/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int FakeResources::lineCount(const QString& name) const
{
    return int(file(name).count('\n'));
}

void FakeResources::remove(const QString& name) const
{
    QFile::remove(path() + "/" + name);
}
