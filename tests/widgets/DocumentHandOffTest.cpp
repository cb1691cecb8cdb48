#include "shell/DocumentHandOff.h"

#include <gtest/gtest.h>

#include <QTest>

TEST(DocumentHandOff, ASecondLaunchHandsItsDocumentsToTheFirst)
{
    EXPECT_FALSE(DocumentHandOff::handToRunningInstance({"/tmp/x.brvn"})) << "nothing listens yet";
    QStringList opened;
    DocumentHandOff first;
    first.listen([&opened](const QString& path) { opened.append(path); });
    EXPECT_FALSE(DocumentHandOff::handToRunningInstance({})) << "no document, nothing to hand over";
    EXPECT_TRUE(DocumentHandOff::handToRunningInstance({"/home/a/one.brvn", "/home/a/two words.brvn"}));
    for (int i = 0; i < 100 && opened.size() < 2; ++i)
        QTest::qWait(10);
    EXPECT_EQ(opened, (QStringList{"/home/a/one.brvn", "/home/a/two words.brvn"}));
}
