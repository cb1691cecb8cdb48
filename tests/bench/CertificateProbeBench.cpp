// What the SSL light's probe costs per status refresh: the openssl run that
// reads one certificate file, as it was (readable or not), with its names
// and dates, and as it is now (the key compared with the certificate's
// too), and the decision over the probe's output.
#include "certificates/CertificateCheck.h"

#include <benchmark/benchmark.h>

#include <QProcess>
#include <QTemporaryDir>

using namespace brevane;

namespace {

struct Certificate {
    QTemporaryDir folder;
    QString path = folder.path() + QStringLiteral("/smtpd.pem");
    Certificate()
    {
        QProcess::execute(QStringLiteral("/bin/sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 90 "
                                          "-subj /CN=mail.example.com -addext subjectAltName=DNS:mail.example.com "
                                          "-keyout %1 -out %1.crt 2>/dev/null && cat %1.crt >> %1")
                               .arg(path)});
    }
};

const Certificate& certificate()
{
    static const Certificate made;
    return made;
}

QString runShell(const QString& line)
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

const QString readableOnly = QStringLiteral("/usr/bin/openssl x509 -noout -in %1 2>/dev/null && echo YES");
const QString namesAndDates = QStringLiteral("echo '== f'; /usr/bin/openssl x509 -noout -subject -nameopt RFC2253 "
                                             "-ext subjectAltName -startdate -enddate -dateopt iso_8601 -in %1 "
                                             "2>/dev/null");
const QString withKey = namesAndDates
    + QStringLiteral("; c=$(/usr/bin/openssl x509 -noout -pubkey -in %1 2>/dev/null); k=$(/usr/bin/openssl pkey "
                     "-pubout -in %1 2>/dev/null); if test -n \"$c\" && test \"$c\" = \"$k\"; then echo "
                     "key=matches; else echo key=differs; fi");

void BM_Probe(benchmark::State& state, const QString& line)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runShell(line.arg(certificate().path)));
}

void BM_JudgeThreeCertificates(benchmark::State& state)
{
    const QString one = runShell(withKey.arg(certificate().path));
    const QString output = one + one + one;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!certificates::judge(certificates::parseProbe(output), 3, QStringLiteral("mail.example.com"), now).usable)
        state.SkipWithError("the probe's output did not read as a usable certificate");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            certificates::judge(certificates::parseProbe(output), 3, QStringLiteral("mail.example.com"), now));
}

} // namespace

BENCHMARK_CAPTURE(BM_Probe, readable_only, readableOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, names_and_dates, namesAndDates)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, names_dates_and_key, withKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JudgeThreeCertificates)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
