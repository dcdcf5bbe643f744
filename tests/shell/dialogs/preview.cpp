// Shows one dialog with the skin, for screenshots:
//   tessaro_dialog_preview options|suggest|suggest-status
// suggest-status shows the form after a Send that asked for the e-mail, with
// the send button hovered.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "feedback/frmSuggest.h"
#include "settings/frmOptions.h"
#include "widgets/ImageButton.h"
#include "widgets/Skin.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tessaro::SkinH_AttachFile(QStringLiteral(TESSARO_APP_DIR "/skin.qss"));
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("options");
    tessaro::Options options;
    if (which.startsWith(QLatin1String("suggest"))) {
        tessaro::frmSuggest form(nullptr, QStringLiteral("http://127.0.0.1:9"));
        form.txtName()->setText(QStringLiteral("张三"));
        form.txtComment()->setPlainText(QStringLiteral("转换很快，谢谢！"));
        form.move(40, 40);
        form.show();
        if (which == QLatin1String("suggest-status")) {
            form.Send();
            form.imgBack()->setHovered(true);
            form.imgExit()->setHovered(true);
        }
        return app.exec();
    }
    tessaro::frmOptions dialog(options, "/dev/null");
    dialog.move(40, 40);
    dialog.show();
    return app.exec();
}
