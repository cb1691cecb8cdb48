// The authorization layer's logic without root: rules, grant records,
// process start times, credentials and the on-disk store in a temp dir.

#include "auth/AccountNames.h"
#include "auth/Attempts.h"
#include "auth/AuthStore.h"
#include "auth/Credentials.h"
#include "auth/GrantRecord.h"
#include "auth/ProcessInfo.h"
#include "auth/Rule.h"
#include "auth/TrustedPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace brevane::auth;
namespace fs = std::filesystem;

namespace {

const Rule adminRule{{"allow-root", "true"},
                     {"class", "user"},
                     {"comment", "Used by Tarnwick applications to run a tool as admin over the duration of the application."},
                     {"group", "admin"},
                     {"shared", "false"}};

GrantRecord sampleRecord()
{
    return {"com.dadarozudedarid.lumbrel.admin", "alice", 1000, 4242, 987654, false};
}

class TempStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brevane-auth-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string root() const { return m_dir + "/db"; }
    std::string m_dir;
};

} // namespace

TEST(Rule, GrantsMembersOfTheGroupAndRootOnlyWhenAllowed)
{
    EXPECT_TRUE(ruleGrants(adminRule, {"alice", 1000, {"alice", "admin"}}));
    EXPECT_FALSE(ruleGrants(adminRule, {"bob", 1001, {"bob", "users"}}));
    EXPECT_TRUE(ruleGrants(adminRule, {"root", 0, {"root"}}));

    Rule noRoot = adminRule;
    noRoot["allow-root"] = "false";
    EXPECT_FALSE(ruleGrants(noRoot, {"root", 0, {"root"}}));

    Rule otherClass = adminRule;
    otherClass["class"] = "rule";
    EXPECT_FALSE(ruleGrants(otherClass, {"alice", 1000, {"admin"}}));

    Rule noGroup = adminRule;
    noGroup.erase("group");
    EXPECT_FALSE(ruleGrants(noGroup, {"alice", 1000, {""}}));
}

TEST(Rule, RoundTripsAndRefusesMalformedText)
{
    EXPECT_EQ(parseRule(formatRule(adminRule)), adminRule);
    EXPECT_FALSE(ruleIsShared(adminRule));
    EXPECT_EQ(parseRule("class=user\nclass=rule\n"), std::nullopt); // duplicate key
    EXPECT_EQ(parseRule("no equals sign\n"), std::nullopt);
    EXPECT_EQ(parseRule("Group=admin\n"), std::nullopt);
    EXPECT_EQ(parseRule(""), std::nullopt);
    EXPECT_EQ(parseRuleArguments({"group=ad\nshared=true"}), std::nullopt);
    EXPECT_EQ(parseRuleArguments({"class=user", "group=admin"}), (Rule{{"class", "user"}, {"group", "admin"}}));
}

TEST(Rule, RightNamesAreSafeFileNames)
{
    EXPECT_TRUE(isValidRightName("com.dadarozudedarid.lumbrel.admin"));
    EXPECT_FALSE(isValidRightName(""));
    EXPECT_FALSE(isValidRightName(".."));
    EXPECT_FALSE(isValidRightName("a/b"));
    EXPECT_FALSE(isValidRightName(std::string(201, 'a')));
}

TEST(GrantRecord, RoundTripsAndRefusesDamage)
{
    const GrantRecord record = sampleRecord();
    const auto parsed = parseRecord(formatRecord(record));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->right, record.right);
    EXPECT_EQ(parsed->user, record.user);
    EXPECT_EQ(parsed->requesterUid, record.requesterUid);
    EXPECT_EQ(parsed->requesterPid, record.requesterPid);
    EXPECT_EQ(parsed->requesterStart, record.requesterStart);
    EXPECT_EQ(parsed->shared, record.shared);

    std::string text = formatRecord(record);
    EXPECT_EQ(parseRecord(text.substr(0, text.find("start="))), std::nullopt);
    EXPECT_EQ(parseRecord(std::string(text).replace(text.find("pid=4242"), 8, "pid=-1")), std::nullopt);
    EXPECT_EQ(parseRecord(std::string(text).replace(text.find("pid=4242"), 8, "pid=0")), std::nullopt);
    EXPECT_EQ(parseRecord(text + "extra=1\n"), std::nullopt);
}

TEST(GrantRecord, AdmitsOnlyTheLiveRequesterAsParent)
{
    const GrantRecord record = sampleRecord();
    const std::string right = record.right;
    const LiveProcess app{4242, 987654};
    EXPECT_TRUE(recordAdmits(record, right, 1000, app, app));
    // Another parent: a process the application started, or a stranger.
    EXPECT_FALSE(recordAdmits(record, right, 1000, {4300, 990000}, app));
    // The pid reused by a later process.
    EXPECT_FALSE(recordAdmits(record, right, 1000, {4242, 999999}, {4242, 999999}));
    // The application has gone.
    EXPECT_FALSE(recordAdmits(record, right, 1000, {4242, std::nullopt}, {4242, std::nullopt}));
    EXPECT_FALSE(recordAdmits(record, right, 1001, app, app));
    EXPECT_FALSE(recordAdmits(record, "com.example.other", 1000, app, app));

    GrantRecord shared = record;
    shared.shared = true;
    EXPECT_TRUE(recordAdmits(shared, right, 1000, {4300, 990000}, app));
    EXPECT_FALSE(recordAdmits(shared, right, 1000, {4300, 990000}, {4242, 1}));
}

TEST(GrantRecord, FormNamesAreHexAndZeroIsRecognised)
{
    ExternalForm form {};
    EXPECT_TRUE(isZeroForm(form));
    EXPECT_EQ(formName(form), std::string(64, '0'));
    form[0] = 0xab;
    form[31] = 0x01;
    EXPECT_FALSE(isZeroForm(form));
    EXPECT_EQ(formName(form), "ab" + std::string(60, '0') + "01");
}

TEST(ProcessInfo, StartTimeCountsFieldsAfterTheLastParenthesis)
{
    const std::string stat = "1234 (a) b) c) S 1 1234 1234 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 "
                             "5551212 1000000 200 18446744073709551615";
    EXPECT_EQ(startTimeFromStat(stat), 5551212ULL);
    EXPECT_EQ(startTimeFromStat("1234 (short) S 1 2"), std::nullopt);
    EXPECT_EQ(startTimeFromStat("no parenthesis at all"), std::nullopt);
    EXPECT_EQ(startTimeFromStat(""), std::nullopt);
}

TEST(ProcessInfo, OwnStartTimeIsStableAndDeadPidsHaveNone)
{
    const auto first = processStartTime(getpid());
    ASSERT_TRUE(first);
    EXPECT_EQ(processStartTime(getpid()), first);
    EXPECT_EQ(processStartTime(0), std::nullopt);
    EXPECT_EQ(processStartTime(0x3ffffffe), std::nullopt);
}

TEST(Credentials, SplitAtTheFirstZeroByte)
{
    using namespace std::string_literals;
    const auto credentials = parseCredentials("alice\0pass word\n"s);
    ASSERT_TRUE(credentials);
    EXPECT_EQ(credentials->user, "alice");
    EXPECT_EQ(credentials->password, "pass word\n");
    EXPECT_TRUE(parseCredentials("alice\0"s)); // an empty password is PAM's to refuse
    EXPECT_FALSE(parseCredentials("alice"));
    EXPECT_FALSE(parseCredentials("\0pw"s));
    EXPECT_FALSE(parseCredentials("alice\0pw\0more"s));
    EXPECT_FALSE(parseCredentials("alice\0"s + std::string(maxCredentialsLength, 'x')));
}

TEST(AccountNames, TheFullNameTheSheetOffersFindsTheAccount)
{
    const std::vector<AccountEntry> accounts{
        {"root", "root"},
        {"admin1", "First Administrator,,,"},
        {"alice", "Alice"},
        {"postfix", ""},
    };
    EXPECT_EQ(fullNameOf(accounts[1]), "First Administrator");
    EXPECT_EQ(accountNameFor("admin1", accounts), "admin1");
    EXPECT_EQ(accountNameFor("First Administrator", accounts), "admin1");
    EXPECT_EQ(accountNameFor("first administrator", accounts), std::nullopt);
    EXPECT_EQ(accountNameFor("First Administrator,,,", accounts), std::nullopt);
    EXPECT_EQ(accountNameFor("nobody here", accounts), std::nullopt);
    // An empty full name is no name at all.
    EXPECT_EQ(accountNameFor("", accounts), std::nullopt);
}

TEST(AccountNames, AnAccountNameWinsAndAnAmbiguousFullNameMatchesNothing)
{
    const std::vector<AccountEntry> accounts{
        {"alice", "Bob"},
        {"bob", "Robert"},
        {"bob2", "Robert,room 2"},
    };
    // "bob" is an account, whoever else calls themselves that.
    EXPECT_EQ(accountNameFor("bob", accounts), "bob");
    EXPECT_EQ(accountNameFor("Bob", accounts), "alice");
    EXPECT_EQ(accountNameFor("Robert", accounts), std::nullopt);
}

TEST_F(TempStore, DefinesARightOnlyWhenMissing)
{
    const AuthStore store(root());
    const std::string name = "com.dadarozudedarid.lumbrel.admin";
    EXPECT_EQ(store.readRight(name), std::nullopt);
    EXPECT_EQ(store.setRightIfMissing(name, adminRule), AuthStore::SetResult::Created);
    EXPECT_EQ(store.readRight(name), adminRule);

    const Rule other{{"class", "user"}, {"group", "staff"}};
    EXPECT_EQ(store.setRightIfMissing(name, other), AuthStore::SetResult::Existed);
    EXPECT_EQ(store.readRight(name), adminRule);
    EXPECT_EQ(store.setRightIfMissing("../escape", other), AuthStore::SetResult::Failed);

    struct stat status {};
    ASSERT_EQ(stat(root().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((root() + "/rights/" + name).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(TempStore, DistrustsFilesOthersCouldWrite)
{
    const AuthStore store(root());
    ASSERT_EQ(store.setRightIfMissing("r", adminRule), AuthStore::SetResult::Created);
    ASSERT_EQ(chmod((root() + "/rights/r").c_str(), 0666), 0);
    EXPECT_EQ(store.readRight("r"), std::nullopt);
    ASSERT_EQ(chmod((root() + "/rights/r").c_str(), 0600), 0);
    ASSERT_EQ(chmod(root().c_str(), 0777), 0);
    EXPECT_EQ(store.readRight("r"), std::nullopt);
}

TEST_F(TempStore, RecordsGrantsAndPrunesTheDead)
{
    const AuthStore store(root());
    ExternalForm live {};
    live.fill(0x11);
    ExternalForm dead {};
    dead.fill(0x22);
    GrantRecord record = sampleRecord();
    ASSERT_TRUE(store.writeGrant(live, record));
    EXPECT_FALSE(store.writeGrant(live, record)); // a form is recorded once
    record.requesterPid = 77;
    ASSERT_TRUE(store.writeGrant(dead, record));

    store.pruneGrants([](const GrantRecord& r) { return r.requesterPid != 77; });
    ASSERT_TRUE(store.readGrant(live));
    EXPECT_EQ(store.readGrant(live)->requesterPid, 4242);
    EXPECT_EQ(store.readGrant(dead), std::nullopt);
    EXPECT_EQ(store.readGrant(ExternalForm{}), std::nullopt);

    struct stat status {};
    ASSERT_EQ(stat((root() + "/grants/" + formName(live)).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(TempStore, RefusesALinkInPlaceOfAGrant)
{
    const AuthStore store(root());
    ASSERT_TRUE(store.prepare());
    const std::string target = m_dir + "/planted";
    std::ofstream(target) << formatRecord(sampleRecord());
    ExternalForm form {};
    form.fill(0x33);
    ASSERT_EQ(symlink(target.c_str(), (root() + "/grants/" + formName(form)).c_str()), 0);
    EXPECT_EQ(store.readGrant(form), std::nullopt);
}

TEST(TrustedPath, OnlyRootMayChangeATrustedFile)
{
    const struct {
        uid_t owner;
        mode_t mode;
        bool trusted;
    } cases[] = {{0, 0755, true}, {0, 04755, true}, {0, 0775, false}, {0, 0757, false}, {0, 01777, false},
                 {1000, 0755, false}};
    for (const auto& c : cases)
        EXPECT_EQ(isRootOnly(c.owner, c.mode), c.trusted) << c.owner << " " << std::oct << c.mode;
    EXPECT_TRUE(isRootTrustedPath("/usr/bin"));
    EXPECT_FALSE(isRootTrustedPath("/tmp")); // anyone may create names there
    EXPECT_FALSE(isRootTrustedPath("/no/such/path"));
}

TEST(Attempts, TheWaitDoublesFromOneSecondUpToTheCap)
{
    const unsigned expected[] = {0, 1, 2, 4, 8, 16, 30, 30};
    for (unsigned failures = 0; failures < std::size(expected); ++failures)
        EXPECT_EQ(backoffSeconds(failures), expected[failures]) << failures;
    EXPECT_EQ(backoffSeconds(4000000000u), maxBackoffSeconds);
}

TEST(Attempts, StateRoundTripsAndDamageIsRefused)
{
    const AttemptState state{3, 1700000000};
    const auto back = parseAttempts(formatAttempts(state));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->failures, 3u);
    EXPECT_EQ(back->notBefore, 1700000000);
    for (const char* damaged : {"", "failures x\nnot-before 1\n", "failures 1\nnot-before 1\nextra"})
        EXPECT_EQ(parseAttempts(damaged), std::nullopt) << damaged;
}

TEST_F(TempStore, ACheckCountsAsRefusedUntilItSucceeds)
{
    const std::string file = AuthStore(root()).attemptsFile(geteuid());
    ASSERT_FALSE(file.empty());
    {
        AttemptGate gate(file);
        ASSERT_TRUE(gate.locked() && gate.waitTurn());
    } // the caller died before an answer: still one refusal
    {
        AttemptGate gate(file);
        EXPECT_EQ(gate.failures(), 1u);
        gate.succeeded();
    }
    EXPECT_EQ(AttemptGate(file).failures(), 0u);
}
