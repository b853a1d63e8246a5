// Test entry with a QApplication: the windows need one.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VRQ_UNATTENDED", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Vorqen Test"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
