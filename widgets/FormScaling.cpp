#include "widgets/FormScaling.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "widgets/ImageButton.h"
#include "widgets/Scaling.h"

namespace tessaro {

ScreenDpi screenDpi(const QWidget& widget) {
    const QScreen* screen = widget.screen() ? widget.screen() : QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY()};
}

void scaleFormToScreen(QWidget& form, ScreenDpi dpi) {
    const QList<QWidget*> controls = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    WindowLayout design;
    design.width = form.width();
    design.height = form.height();
    for (QWidget* control : controls) {
        const QRect rect = control->geometry();
        ControlLayout layout{control->objectName().toStdString(), rect.x(), rect.y(),
                             rect.width(), rect.height(), true, std::nullopt};
        if (!qobject_cast<ImageButton*>(control) && control->font().pointSizeF() > 0)
            layout.fontPoints = control->font().pointSizeF();
        design.controls.push_back(layout);
    }
    const WindowLayout scaled = scaleLayout(design, twipsPerPixel(dpi.x), twipsPerPixel(dpi.y));
    if (form.minimumSize() == form.maximumSize())
        form.setFixedSize(scaled.width, scaled.height);
    else
        form.resize(scaled.width, scaled.height);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const ControlLayout& layout = scaled.controls[size_t(i)];
        controls[i]->setGeometry(layout.left, layout.top, layout.width, layout.height);
        if (layout.fontPoints) {
            QFont font = controls[i]->font();
            font.setPointSizeF(*layout.fontPoints);
            controls[i]->setFont(font);
        }
    }
}

void scaleFormToScreen(QWidget& form) { scaleFormToScreen(form, screenDpi(form)); }

}  // namespace tessaro
