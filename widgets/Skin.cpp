#include "widgets/Skin.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <QWidget>

#include "base/Platform.h"

namespace tessaro {

namespace {

constexpr const char* kSkinFile = "skin.qss";

// The sheet as loaded, with its placeholders: @glass@ (the highlight colour),
// @accent@ (the accent colour) and @dir@ (the sheet's folder, for images).
QString g_template;
QString g_folder;
QString g_applied;
int g_alpha = 220;
QColor g_accent(40, 120, 215);

QString render() {
    QString sheet = g_template;
    sheet.replace("@glass@", QStringLiteral("rgba(255, 255, 255, %1)").arg(g_alpha));
    sheet.replace("@accent@", g_accent.name());
    sheet.replace("@dir@", g_folder);
    return sheet;
}

void apply() {
    g_applied = render();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(g_applied);
}

}  // namespace

bool SkinH_AttachFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty()) return false;
    g_template = sheet;
    g_folder = QFileInfo(path).absolutePath();
    apply();
    return true;
}

bool SkinH_Attach() {
    return SkinH_AttachFile(QString::fromStdString(platform::applicationFile(kSkinFile)));
}

void SkinH_Aero(QWidget* window) {
    if (!window || g_template.isEmpty()) return;
    window->setProperty("skin", QStringLiteral("aero"));
    window->setAttribute(Qt::WA_StyledBackground);  // paint the sheet's background
    // property selectors are evaluated when the style polishes the widget
    window->style()->unpolish(window);
    window->style()->polish(window);
    window->update();
}

void SkinH_Aero_Adjust(int alpha, int hue, int saturation, int brightness, int, int, int, int,
                       int) {
    if (g_template.isEmpty()) return;
    g_alpha = qBound(0, alpha, 255);
    QColor accent = QColor(40, 120, 215).toHsv();
    const int h = (accent.hsvHue() + hue % 360 + 360) % 360;
    const int s = qBound(0, accent.hsvSaturation() * (100 + saturation) / 100, 255);
    const int v = qBound(0, accent.value() * (100 + brightness) / 100, 255);
    g_accent = QColor::fromHsv(h, s, v);
    apply();
}

QString skinStyleSheet() { return g_applied; }

void skinDetach() {
    g_template.clear();
    g_alpha = 220;
    g_accent = QColor(40, 120, 215);
    g_applied.clear();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(QString());
}

}  // namespace tessaro
