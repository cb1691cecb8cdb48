#include "DsclListing.h"

#include <gtest/gtest.h>

using namespace brevane::dscl;

TEST(DsclListingTest, OnlyTheLocalUserUidQuery)
{
    EXPECT_TRUE(isUserUidListing({ ".", "list", "./users", "uid" }));
    EXPECT_TRUE(isUserUidListing({ ".", "list", "/Users", "uid" }));
    EXPECT_FALSE(isUserUidListing({ ".", "list", "/Groups", "gid" }));
    EXPECT_FALSE(isUserUidListing({ ".", "read", "/Users/root" }));
    EXPECT_FALSE(isUserUidListing({ ".", "list", "./users" }));
    EXPECT_FALSE(isUserUidListing({}));
}

TEST(DsclListingTest, RowsSortedByNameInOneColumn)
{
    const std::string listing
        = formatListing({ { "zoe", 502 }, { "root", 0 }, { "_postfix", 104 }, { "anna", 501 }, { "root", 0 } });
    EXPECT_EQ(listing,
        "_postfix 104\n"
        "anna     501\n"
        "root     0\n"
        "zoe      502\n");
    EXPECT_EQ(formatListing({}), "");
}

TEST(DsclListingTest, OverflowAccountShowsAsTheMacsNobody)
{
    EXPECT_EQ(formatListing({ { "nobody", 65534 } }), "nobody -2\n");
    EXPECT_EQ(macUid(501), 501);
    EXPECT_EQ(macUid(65533), 65533);
}
