// The checks from outside against real Postfix, Dovecot and unbound, seen
// from a second network namespace joined to the sandbox's by a veth pair.
// Runs only as root inside tests/system/sandbox.sh.
#include "SandboxRun.h"
#include "deliverability/UnboundResolver.h"
#include "status/StatusChecks.h"

#include <gtest/gtest.h>

using namespace brevane;
using namespace brevane::status;
using sandbox::waitFor;

namespace {

const QString sourceDir = QStringLiteral(BREVANE_SOURCE_DIR);
const QString buildDir = QStringLiteral(BREVANE_BUILD_DIR);
const QString configDir = QStringLiteral("/usr/local/tarnwick/postfix/etc");
const QString dovecotDir = QStringLiteral("/usr/local/tarnwick/etc/dovecot");
const QString zone = QStringLiteral("bl.brevane.test");
const QString listData = QStringLiteral("/etc/unbound/brevane-lists.conf");
const QString serverAddress = QStringLiteral("10.233.0.1"); // this side of the veth pair
const QString outsideAddress = QStringLiteral("10.233.0.2");
// How an administrator reaches another host: ssh with a key, as an ordinary
// user (no password, yet not a locked account, which sshd refuses).
const QString sshVantage = QStringLiteral("ssh -o IdentityFile=/tmp/outside-key -o StrictHostKeyChecking=no "
                                          "-o UserKnownHostsFile=/dev/null watcher@10.233.0.2");

QString sh(const QString& line)
{
    return sandbox::run({ QStringLiteral("/bin/bash"), QStringLiteral("-c"), line });
}

bool answersFromOutside(int port, bool open)
{
    const QString said = sh(QStringLiteral("ip netns exec outside timeout 3 bash -c 'exec 3<>/dev/tcp/%1/%2' "
                                           "2>&1 && echo open")
                                .arg(serverAddress)
                                .arg(port));
    return said.contains(QLatin1String("open")) == open;
}

// The block list's data: its test entry, each listed address, and (as a
// second list) one that refuses every query as Spamhaus does a public resolver.
void serveLists(const QStringList& listed)
{
    QString data = QStringLiteral("local-zone: \"%1.\" static\n").arg(zone);
    for (const QString& address : QStringList { QStringLiteral("127.0.0.2") } + listed) {
        const QString name = listingName(address, zone);
        data += QStringLiteral("local-data: \"%1. A 127.0.0.2\"\nlocal-data: '%1. TXT \"listed for %2\"'\n")
                    .arg(name, address);
    }
    data += QStringLiteral("local-zone: \"refusing.brevane.test.\" redirect\n"
                           "local-data: \"refusing.brevane.test. A 127.255.255.254\"\n"
                           "local-zone: \"missing.brevane.test.\" static\n");
    sandbox::writeFile(listData, data.toUtf8());
    sh(QStringLiteral("test -f /run/brevane-unbound.pid && kill $(cat /run/brevane-unbound.pid); sleep 0.3; "
                      "unbound -c /etc/unbound/brevane-test.conf"));
    ASSERT_TRUE(waitFor(
        [] {
            dns::ResolverOptions options;
            options.trustAnchorFile.clear();
            options.probeName.clear();
            return dns::UnboundResolver(options).resolve("2.0.0.127." + zone, dns::RecordType::A).outcome
                == dns::Outcome::Found;
        },
        10))
        << sh(QStringLiteral("cat /tmp/unbound.log")).toStdString();
}

// Postfix as the server archive sets it up, with the submission port open.
void startPostfix()
{
    const QString from = sourceDir + "/server/usr/local/tarnwick/postfix/etc/";
    sh(QStringLiteral("mkdir -p %1 && cp %2main.cf.default %1/main.cf && cp %2master.cf.default %1/master.cf && "
                      "echo '587 inet n - n - - smtpd' >> %1/master.cf && "
                      "postconf -c %1 -e myhostname=mail.brevane.test mynetworks_style=host && postfix -c %1 start")
            .arg(configDir, from));
    ASSERT_TRUE(waitFor([] { return answersFromOutside(25, true) && answersFromOutside(587, true); }, 20))
        << sh("tail -20 /var/log/mail.log").toStdString();
}

void setUpWorld()
{
    sh("bash " + sourceDir + "/platform/install.sh " + buildDir + " >/tmp/platform-install.log 2>&1");
    // The namespace, the veth pair and unbound as the watch job's scenario has them.
    sh("cd " + sourceDir + "/tests && . launcher/sandbox-common.sh && . status/outside-world.sh && "
        + "outside_network && outside_resolver");
    serveLists({});
    sh(QStringLiteral(
        "useradd -m -s /bin/bash -p '*' watcher; ssh-keygen -q -t ed25519 -N '' -f /tmp/outside-key; "
        "install -d -o watcher -m 0700 ~watcher/.ssh; "
        "install -o watcher -m 0600 /tmp/outside-key.pub ~watcher/.ssh/authorized_keys; mkdir -p /run/sshd; "
        "ip netns exec outside /usr/sbin/sshd -o ListenAddress=%1 -o UsePAM=no "
        "-o PidFile=/run/outside-sshd.pid")
            .arg(outsideAddress));
    sh("mkdir -p " + dovecotDir + "; cp " + sourceDir + "/server/usr/local/tarnwick/etc/dovecot/* " + dovecotDir
        + "; dovecot -c " + dovecotDir + "/uw_pop3.conf");
    ASSERT_TRUE(waitFor([] { return answersFromOutside(110, true); }, 20));
    startPostfix();
}

OutsideInputs outside()
{
    OutsideInputs inputs;
    inputs.vantage = QStringLiteral("ip netns exec outside");
    inputs.target = serverAddress;
    inputs.publicAddresses = { serverAddress };
    inputs.ports = portsToProbe(QStringLiteral("587"), { { QStringLiteral("POP3"), 110 } });
    inputs.blockZones = { zone };
    return inputs;
}

// The outside rows of the whole engine's run, by id.
QMap<QString, Result> outsideRows(const OutsideInputs& inputs)
{
    StatusInputs all;
    all.outside = inputs;
    QMap<QString, Result> rows;
    for (const Outcome& outcome : runChecks(statusChecks(all)))
        if (outcome.id.startsWith(QLatin1String("outside-")) || outcome.id == QLatin1String("blocklists"))
            rows.insert(outcome.id, outcome.result);
    return rows;
}

// Every outside row green but those named, which are in `state` and say `saying`.
void expectOnly(const QMap<QString, Result>& rows, const QStringList& ids, State state, const QString& saying = {})
{
    ASSERT_EQ(rows.size(), 5);
    for (auto row = rows.cbegin(); row != rows.cend(); ++row) {
        const bool named = ids.contains(row.key());
        EXPECT_TRUE(
            row.value().state == (named ? state : State::Green) && (!named || row.value().found.contains(saying)))
            << row.key().toStdString() << ": " << row.value().found.toStdString();
    }
}

void reloadWith(const QString& change)
{
    sh("postconf -c " + configDir + " " + change + " && postfix -c " + configDir + " reload; sleep 1.5");
}

QString queue()
{
    return sh(QStringLiteral("postqueue -p"));
}

} // namespace

TEST(OutsideSystem, RelayListingAndAStoppedServiceEachTurnOnlyTheirRowRed)
{
    if (!sandbox::active())
        GTEST_SKIP() << "needs root inside tests/system/sandbox.sh";
    setUpWorld();
    if (HasFatalFailure())
        return;

    expectOnly(outsideRows(outside()), { "outside-relay" }, State::Green, "454 4.7.1");

    // The same through ssh; a login the vantage refuses is no verdict.
    OutsideInputs overSsh = outside();
    overSsh.vantage = sshVantage;
    expectOnly(outsideRows(overSsh), {}, State::Green);
    overSsh.vantage.replace(QLatin1String("watcher@"), QLatin1String("nobody@"));
    QMap<QString, Result> rows = outsideRows(overSsh);
    rows.remove("blocklists");
    for (const Result& row : rows)
        EXPECT_TRUE(row.state == State::Yellow && row.found.contains("did not run")) << row.found.toStdString();

    // Anyone may relay: red, yet the test itself leaves nothing queued.
    reloadWith(QStringLiteral("-e mynetworks=0.0.0.0/0"));
    expectOnly(outsideRows(outside()), { "outside-relay" }, State::Red, "Open relay");
    EXPECT_TRUE(queue().contains("Mail queue is empty")) << queue().toStdString();
    reloadWith(QStringLiteral("-X mynetworks"));
    expectOnly(outsideRows(outside()), {}, State::Green);

    // Listed: red, naming the list and its reason; delisted: green again.
    serveLists({ serverAddress });
    expectOnly(outsideRows(outside()), { "blocklists" }, State::Red,
        "10.233.0.1 on bl.brevane.test: LISTED (listed for 10.233.0.1)");
    serveLists({});
    expectOnly(outsideRows(outside()), {}, State::Green);

    // A list refusing this resolver, or one without its test entry, is no verdict either way.
    for (const QString& other : { QStringLiteral("refusing.brevane.test"), QStringLiteral("missing.brevane.test") }) {
        OutsideInputs refused = outside();
        refused.blockZones = { other };
        expectOnly(outsideRows(refused), { "blocklists" }, State::Yellow, other);
    }

    // A public name the outside cannot resolve says so, rather than "refused".
    OutsideInputs unknown = outside();
    unknown.target = QStringLiteral("nowhere.brevane.test");
    EXPECT_TRUE(outsideRows(unknown).value("outside-port-25").found.contains("cannot find"));

    // POP3 stopped: its port's row alone is red.
    sh("doveadm -c " + dovecotDir + "/uw_pop3.conf stop || kill $(cat /run/dovecot-uw_pop3/master.pid)");
    ASSERT_TRUE(waitFor([] { return answersFromOutside(110, false); }, 20));
    expectOnly(outsideRows(outside()), { "outside-port-110" }, State::Red, "refused");
    sh("dovecot -c " + dovecotDir + "/uw_pop3.conf");
    ASSERT_TRUE(waitFor([] { return answersFromOutside(110, true); }, 20));
    expectOnly(outsideRows(outside()), {}, State::Green);
    sh("postfix -c " + configDir + " stop; kill $(cat /run/brevane-unbound.pid) $(cat /run/outside-sshd.pid)");
}
