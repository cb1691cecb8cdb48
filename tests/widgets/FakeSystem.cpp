#include "FakeSystem.h"

#include <QFile>
#include <QSettings>
#include <QTextStream>

namespace {

void writeExecutable(const QString& path, const QByteArray& text)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

const char fakeHelper[] = R"SH(#!/bin/bash
dir=$(cd "$(dirname "$0")" && pwd)
form=$(head -c 32 | od -An -v -tx1 | tr -d ' \n')
[ "$form" = "$(printf '41%.0s' {1..32})" ] || exit 1
answerLine() {
  local line="$*" pattern output
  printf '%s\n' "$line" | tr '\n' ' ' >> "$dir/calls.log"; echo >> "$dir/calls.log"
  while IFS=$'\t' read -r pattern output; do
    [ -n "$pattern" ] || continue
    case "$line" in *"$pattern"*) printf '%b' "$output"; return ;; esac
  done < "$dir/rules.tsv"
}
# Several command lines in one run (runShellLines): each answered and
# logged as a run of its own, then the boundary.
if [ "$1 $2" = "/bin/sh -c" ] && [ "${3%%;*}" = 'boundary=$1' ]; then
  boundary=$5
  shift 5
  for line in "$@"; do
    answerLine /bin/sh -c "$line"
    printf '\n%s\n' "$boundary"
  done
  exit 0
fi
answerLine "$@"
exit 0
)SH";

const char fakeAuthority[] = R"SH(#!/bin/bash
case "$1" in
  exists) exit 0 ;;
  grant)
    credentials=$(od -An -v -c | tr -d ' \n')
    [ "$credentials" = 'admin\0good' ] || exit 1
    printf 'A%.0s' {1..32} ;;
  *) exit 1 ;;
esac
)SH";

} // namespace

FakeSystem::FakeSystem()
{
    qputenv("BREVANE_RESOURCES", m_dir.path().toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("settings"));
    QSettings().clear();
    writeExecutable(m_dir.filePath("shellTool"), fakeHelper);
    writeExecutable(m_dir.filePath("brevane-authorize"), fakeAuthority);
    QFile(m_dir.filePath("rules.tsv")).open(QIODevice::WriteOnly);
    QFile(m_dir.filePath("calls.log")).open(QIODevice::WriteOnly);
}

FakeSystem::~FakeSystem()
{
    qunsetenv("BREVANE_RESOURCES");
}

void FakeSystem::answer(const QString& pattern, const QString& output)
{
    QFile rules(m_dir.filePath("rules.tsv"));
    rules.open(QIODevice::Append);
    QTextStream(&rules) << pattern << '\t' << output << '\n';
}

void FakeSystem::reanswer(const QString& pattern, const QString& output)
{
    QFile rules(m_dir.filePath("rules.tsv"));
    rules.open(QIODevice::ReadOnly);
    QStringList kept;
    for (const QString& rule : QString::fromUtf8(rules.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!rule.startsWith(pattern + '\t'))
            kept.append(rule);
    rules.close();
    rules.open(QIODevice::WriteOnly | QIODevice::Truncate);
    rules.write((kept.join('\n') + '\n').toUtf8());
    rules.close();
    answer(pattern, output);
}

QStringList FakeSystem::calls() const
{
    QFile log(m_dir.filePath("calls.log"));
    log.open(QIODevice::ReadOnly);
    QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

void FakeSystem::clearCalls()
{
    QFile(m_dir.filePath("calls.log")).open(QIODevice::WriteOnly | QIODevice::Truncate);
}

int FakeSystem::countCalls(const QString& pattern) const
{
    int count = 0;
    for (const QString& call : calls())
        count += call.contains(pattern) ? 1 : 0;
    return count;
}
