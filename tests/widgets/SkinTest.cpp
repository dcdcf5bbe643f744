#include "widgets/Skin.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include "base/Platform.h"

namespace tessaro {
namespace {

QStringList g_warnings;

void collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg) g_warnings << text;
}

class SkinTest : public ::testing::Test {
protected:
    void TearDown() override { skinDetach(); }
};

TEST_F(SkinTest, WithoutASheetEverythingStaysUnskinned) {
    QTemporaryDir empty;  // an application folder without skin.qss
    platform::setApplicationFolder(empty.path().toStdString());
    EXPECT_FALSE(SkinH_Attach());
    EXPECT_FALSE(SkinH_AttachFile("/nonexistent/skin.qss"));
    QWidget window;
    SkinH_Aero(&window);
    SkinH_Aero_Adjust(220, 0, 0, 0, 0, 0, 0, 0, 0);
    SkinH_Aero(nullptr);
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_TRUE(skinStyleSheet().isEmpty());
    EXPECT_FALSE(window.property("skin").isValid());
}

TEST_F(SkinTest, TheShippedSheetAppliesCleanly) {
    ASSERT_TRUE(SkinH_AttachFile(TESSARO_APP_DIR "/skin.qss"));
    QWidget window;
    auto* button = new QPushButton("x", &window);
    SkinH_Aero(&window);
    SkinH_Aero_Adjust(220, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(window.property("skin").toString(), "aero");
    EXPECT_EQ(qApp->styleSheet(), skinStyleSheet());
    EXPECT_FALSE(skinStyleSheet().contains('@'));  // every placeholder filled
    EXPECT_TRUE(skinStyleSheet().contains("rgba(255, 255, 255, 220)"));

    g_warnings.clear();
    QtMessageHandler previous = qInstallMessageHandler(collect);
    window.show();
    button->ensurePolished();
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(g_warnings.filter("style").isEmpty()) << g_warnings.join('\n').toStdString();
}

}  // namespace
}  // namespace tessaro
