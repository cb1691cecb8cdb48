#include "postfix/PostfixReadBack.h"

#include "shell/CommandBatch.h"

namespace brevane {

namespace {

// Each file is read whole as one record: the boundary is unguessable, so no
// file holds it and every byte, a missing last line feed included, stays as
// it is. A range is taken as sed takes it: from a line that is exactly the
// start marker to the next line that is exactly the end marker, each line
// with its own line feed; a block without its end runs to the file's end.
// The custom and port blocks lose their first and last line, as the lines'
// `sed '1d' | sed '$d'` does.
const char* const sectionsProgram = R"AWK(
function slurp(path,    text, record, count) {
  text = ""; count = 0
  while ((getline record < path) > 0) text = count++ ? text boundary record : record
  close(path)
  return text
}
function range(text, start, stop, taken,    line, n, i, k, inside, complete) {
  n = split(text, line, "\n")
  complete = substr(text, length(text)) == "\n"
  if (complete) n--
  k = inside = 0
  for (i = 1; i <= n; i++) {
    if (!inside && line[i] != start) continue
    taken[++k] = line[i] (i < n || complete ? "\n" : "")
    inside = !inside || line[i] != stop
  }
  return k
}
function put(taken, from, to,    i) { for (i = from; i <= to; i++) printf "%s", taken[i] }
function end() { printf "\n%s\n", boundary }
BEGIN {
  RS = boundary
  main = slurp(dir "/main.cf"); master = slurp(dir "/master.cf")
  k = range(main, "###Start Brevane###", "###End Brevane###", taken); put(taken, 1, k); end()
  k = range(main, "###Start Custom Config###", "###End Custom Config###", taken); put(taken, 2, k - 1); end()
  k = range(master, "###Start Brevane###", "###End Brevane###", taken); put(taken, 2, k - 1); end()
  printf "%s", slurp(dir "/sasl_passwd"); end()
  printf "%s", slurp(dir "/sasldb_passwd"); end()
  printf "%s", slurp(dir "/access"); end()
  printf "%s", slurp(dir "/aliases"); end()
  if (virtualdb) printf "%s\n", dir "/virtual.db"; end()
  printf "%s", slurp(dir "/virtual"); end()
}
)AWK";

const char* const fileNames = "main.cf master.cf sasl_passwd sasldb_passwd access aliases virtual.db virtual";

} // namespace

QString postfixConfigDirectory()
{
    return QStringLiteral("/usr/local/tarnwick/postfix/etc");
}

QStringList postfixReadBackLines(const QString& dir)
{
    return {
        "sed -n '/^###Start Brevane###$/,/^###End Brevane###$/p' " + dir + "/main.cf",
        "sed -n '/^###Start Custom Config###$/,/^###End Custom Config###$/p' " + dir
            + "/main.cf | sed '1d'  | sed '$d'",
        "sed -n '/^###Start Brevane###$/,/^###End Brevane###$/p' " + dir + "/master.cf | sed '1d'  | sed '$d'",
        "cat " + dir + "/sasl_passwd",
        "cat " + dir + "/sasldb_passwd",
        "cat " + dir + "/access",
        "cat " + dir + "/aliases",
        "ls " + dir + "/virtual.db",
        "cat " + dir + "/virtual",
    };
}

QString postfixReadBackShortcut(const QString& dir)
{
    return QStringLiteral("dir='%1' plain=yes\n"
                          "for name in %2; do\n"
                          "  test -f \"$dir/$name\" || ! { test -e \"$dir/$name\" || test -L \"$dir/$name\"; } || plain=\n"
                          "done\n"
                          "test -f \"$dir/virtual.db\" && virtualdb=1 || virtualdb=\n"
                          "test -z \"$plain\" || ! command -v awk >/dev/null ||\n"
                          "  exec awk -v boundary=\"$boundary\" -v dir=\"$dir\" -v virtualdb=\"$virtualdb\" '%3'\n")
        .arg(dir, QLatin1String(fileNames), QLatin1String(sectionsProgram));
}

QStringList readPostfixSections(const CommandRunner& run, const QString& dir)
{
    return runShellLines(run, postfixReadBackLines(dir), postfixReadBackShortcut(dir));
}

} // namespace brevane
