#include "filtering/FilteringSettings.h"

#include <gtest/gtest.h>

using namespace brevane::filtering;

TEST(FilteringSettings, ScoresAreNumbersBelowAThousandWithAtMostTwoDecimals)
{
    const std::vector<std::pair<QString, std::optional<double>>> cases {
        { "6", 6 }, { "15", 15 }, { " 7.5 ", 7.5 }, { "0.25", 0.25 }, { "999.99", 999.99 }, { "1000", {} }, { "", {} },
        { "-1", {} }, { "6.", {} }, { ".5", {} }, { "6.125", {} }, { "1e3", {} }, { "6;", {} }, { "6\nlua = 1", {} },
        { "0x10", {} }, { "６", {} }, // a full-width digit
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseScore(text), expected) << text.toStdString();
}

TEST(FilteringSettings, ProblemsNameTheFieldAndOffIsNeverAProblem)
{
    const auto with = [](bool on, const char* header, const char* reject) {
        FilteringSettings s;
        s.spamFiltering = on;
        s.headerScore = QString::fromUtf8(header);
        s.rejectScore = QString::fromUtf8(reject);
        return s;
    };
    const std::vector<std::pair<FilteringSettings, const char*>> cases {
        { with(true, "6", "15"), nullptr },
        { with(true, "0.5", "0.75"), nullptr },
        { with(false, "junk", "junk"), nullptr },
        { with(true, "0", "15"), "spam header score" },
        { with(true, "six", "15"), "spam header score" },
        { with(true, "6", "15\";}"), "reject score" },
        { with(true, "15", "15"), "must be above" },
        { with(true, "20", "15"), "must be above" },
    };
    for (const auto& [settings, named] : cases) {
        const auto problem = settingsProblem(settings);
        if (!named)
            EXPECT_FALSE(problem) << problem->toStdString();
        else
            EXPECT_TRUE(problem && problem->contains(QLatin1String(named)))
                << settings.headerScore.toStdString() << "/" << settings.rejectScore.toStdString();
    }
}

TEST(FilteringSettings, DocumentRoundTripAndOldOrHostileDocuments)
{
    FilteringSettings chosen { true, "5.5", "12", false, true };
    QVariantMap values;
    putDocumentValues(chosen, values);
    EXPECT_EQ(fromDocumentValues(values), chosen);

    // A document from before filtering: everything off, the usual scores.
    const FilteringSettings old = fromDocumentValues({ { "mydomainField", "example.com" } });
    EXPECT_EQ(old, (FilteringSettings { false, "6", "15", false, false }));

    // Numbers other than 1 leave a box off; a hostile score stays text for
    // settingsProblem to refuse.
    const FilteringSettings hostile = fromDocumentValues({ { spamFilteringKey, 7 }, { greylistingKey, -1 },
        { virusScanningKey, 1 }, { headerScoreKey, "6;\nlua = \"x\"" } });
    EXPECT_FALSE(hostile.spamFiltering);
    EXPECT_FALSE(hostile.greylisting);
    EXPECT_TRUE(hostile.virusScanning);
    FilteringSettings turnedOn = hostile;
    turnedOn.spamFiltering = true;
    EXPECT_TRUE(settingsProblem(turnedOn));
}
