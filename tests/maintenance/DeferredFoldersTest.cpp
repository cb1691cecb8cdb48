// A deferred folder's times are kept only while its stamp stands and is
// old enough to trust; every other line of the listing is left alone.
#include "maintenance/DeferredFolders.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

constexpr qint64 listedAt = 1'700'000'100;

DeferredFolders knownA()
{
    DeferredFolders known;
    known.insert("A", {"77 1700000000.5", {{"A1B2C3", 1'700'000'500}}});
    known.insert("B", {"78 1700000000.5", {{"B1B2C3", 1'700'000'600}}});
    return known;
}

} // namespace

TEST(DeferredFolders, TimesComeFromTheFoldersThatChangedOrFromThoseKept)
{
    struct Case {
        const char* name;
        QList<QByteArray> lines;
        QHash<QString, qint64> times;
        QStringList stamps; ///< handed to the next listing
        int foreignLines = 0; ///< lines that are none of the folders'
    };
    const QList<Case> cases = {
        {"a kept folder keeps its times", {"kept A 77 1700000000.5"}, {{"A1B2C3", 1'700'000'500}},
         {"A 77 1700000000.5"}},
        {"a folder not named is dropped", {}, {}, {}},
        {"a kept folder whose stamp differs from the known one has no times",
         {"kept A 99 1700000000.5"}, {}, {}},
        {"a changed folder is read afresh",
         {"folder A 77 1700000050.2", "A1B2C3 1700000900.3 /var/spool/postfix/deferred/A", "kept B 78 1700000000.5"},
         {{"A1B2C3", 1'700'000'900}, {"B1B2C3", 1'700'000'600}}, {"A 77 1700000050.2", "B 78 1700000000.5"}},
        {"a folder changed within two seconds of the listing is not trusted next time",
         {"folder A 77 1700000099.0", "A1B2C3 1700000900 /var/spool/postfix/deferred/A"},
         {{"A1B2C3", 1'700'000'900}}, {}},
        {"a time without its folder is used once",
         {"D4E5F6 1700000700", "C1D2E3 1700000800 /x/C"}, {{"D4E5F6", 1'700'000'700}, {"C1D2E3", 1'700'000'800}}, {}},
        {"JSON, classic lines and broken ones are not the folders'",
         {"{\"queue_id\":\"A1\"}", "-Queue ID- --Size--", "kept", "folder A/../x 1 2", "kept A 77", "ALL 1700000000",
          "A1B2C3 soon /d/A", "A1B2C3 1 2 3"},
         {}, {}, 8},
    };
    for (const Case& c : cases) {
        DeferredFoldersReader reader(knownA(), listedAt);
        int foreign = 0;
        for (const QByteArray& line : c.lines)
            foreign += !reader.readLine(line);
        EXPECT_EQ(foreign, c.foreignLines) << c.name;
        EXPECT_EQ(reader.retryTimes(), c.times) << c.name;
        QStringList stamps = deferredFolderStamps(reader.takeFolders());
        stamps.sort();
        EXPECT_EQ(stamps, c.stamps) << c.name;
    }
}
