#include "filtering/RspamdConfig.h"

#include "ConfigFileText.h"

#include <gtest/gtest.h>

using namespace brevane::filtering;

TEST(RspamdConfig, GreylistingComesBeforeTheHeader)
{
    for (const auto& [header, greylist] :
        std::vector<std::pair<double, double>> { { 6, 4 }, { 6.5, 4 }, { 20, 4 }, { 3, 2 }, { 1.5, 1 } })
        EXPECT_DOUBLE_EQ(greylistScore(header), greylist) << header;
}

TEST(RspamdConfig, FilesFollowTheSettings)
{
    struct Case {
        FilteringSettings settings;
        QString actions;
        QString greylist;
        bool clamav;
    };
    const QString head = QStringLiteral("# Written by Brevane's Filtering tab; changes here are replaced.\n");
    const std::vector<Case> cases {
        { { true, "6", "15", true, true }, "reject = 15;\nadd_header = 6;\ngreylist = 4;\n", "enabled = true;\n",
            true },
        { { true, "4.5", "9.25", false, false }, "reject = 9.25;\nadd_header = 4.5;\ngreylist = null;\n",
            "enabled = false;\n", false },
        { { true, "3", "7", true, false }, "reject = 7;\nadd_header = 3;\ngreylist = 2;\n", "enabled = true;\n",
            false },
    };
    for (const Case& c : cases) {
        const QList<ConfigFile> files = rspamdFiles(c.settings);
        EXPECT_EQ(fileText(files, "actions.conf"), head + c.actions);
        EXPECT_EQ(fileText(files, "greylist.conf"), head + c.greylist);
        const QString antivirus = fileText(files, "antivirus.conf");
        EXPECT_EQ(antivirus.contains("servers = \"127.0.0.1:3310\";\n  action = \"reject\";"), c.clamav)
            << antivirus.toStdString();
        EXPECT_EQ(antivirus == head, !c.clamav);
        // The milter on its own port, scanning by itself; learning only through root's and rspamd's socket.
        EXPECT_TRUE(fileText(files, "worker-proxy.inc")
                        .contains("bind_socket = \"127.0.0.1:11432\";\n"
                                  "bind_socket = \"/usr/local/tarnwick/rspamd/run/milter.sock mode=0666\";\nmilter = yes;\ntimeout = 120s;\n"
                                  "upstream \"local\" {\n  default = yes;\n  self_scan = yes;\n}\n"));
        EXPECT_EQ(fileText(files, "worker-controller.inc"),
            head
                + "bind_socket = \"/usr/local/tarnwick/rspamd/run/controller.sock mode=0660 owner=root "
                  "group=_rspamd\";\n");
        EXPECT_EQ(fileText(files, "redis.conf"), head + "servers = \"/usr/local/tarnwick/rspamd/redis/redis.sock\";\n");
        EXPECT_EQ(files.size(), 9);
    }
}

TEST(RspamdConfig, ScriptArgumentsAndTheInstalledStateReadBack)
{
    const FilteringSettings on { true, "7", "14", false, true };
    const QStringList arguments = scriptArguments(Mode::On, on, "SCRIPT");
    ASSERT_EQ(arguments.size(), 6 + 2 * (9 + 6));
    EXPECT_EQ(arguments.mid(0, 6), (QStringList { "/bin/sh", "-c", "SCRIPT", "", "on", "yes" }));
    EXPECT_EQ(arguments.at(6), "actions.conf");
    EXPECT_EQ(scriptArguments(Mode::Off, { true, "6", "15", true, false }, "S"),
        (QStringList { "/bin/sh", "-c", "S", "", "off", "no" }));

    // What "show" prints for those files and jobs reads back as the settings.
    QString shown = "JOB redis\nJOB rspamd\nJOB clamd\n";
    for (const ConfigFile& file : rspamdFiles(on))
        if (file.name == "actions.conf" || file.name == "greylist.conf" || file.name == "antivirus.conf")
            shown += "--- " + file.name + "\n" + file.text;
    EXPECT_EQ(installedSettings(shown), on);

    const std::vector<std::pair<QString, FilteringSettings>> cases {
        { "", FilteringSettings {} },
        // Files without the job: filtering is off, whatever lies there.
        { "--- actions.conf\nreject = 30;\n", FilteringSettings { false, "6", "30", true, true } },
        { "JOB rspamd\n--- antivirus.conf\n# nothing\n--- actions.conf\nadd_header = 2.5;\n",
            FilteringSettings { true, "2.5", "15", true, false } },
        // A key of another file is not taken for this one.
        { "JOB rspamd\n--- greylist.conf\nreject = 1;\nenabled = false;\n",
            FilteringSettings { true, "6", "15", false, false } },
    };
    for (const auto& [output, expected] : cases)
        EXPECT_EQ(installedSettings(output), expected) << output.toStdString();
}
