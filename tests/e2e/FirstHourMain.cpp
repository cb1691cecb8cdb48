#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As the application names itself, so its settings land where its own would.
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("brevane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BREVANE_VERSION));
    ::testing::InitGoogleTest(&argc, argv);
    // The steps build on each other: they run in the order written.
    GTEST_FLAG_SET(shuffle, false);
    return RUN_ALL_TESTS();
}
