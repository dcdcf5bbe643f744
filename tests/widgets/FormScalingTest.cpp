// The options dialog and the feedback form are scaled as the main window is:
// at any density their rectangles keep their 96-dpi pixels and their fonts
// take the screen factor.

#include <gtest/gtest.h>

#include <QLabel>
#include <functional>
#include <memory>

#include "feedback/frmSuggest.h"
#include "settings/OptionsFile.h"
#include "settings/frmOptions.h"
#include "widgets/FormScaling.h"
#include "widgets/ImageButton.h"

namespace tessaro {
namespace {

TEST(FormScalingTest, DialogsKeepTheirPixelsAndScaleTheirFonts) {
    Options options;
    const std::function<std::unique_ptr<QWidget>()> forms[] = {
        [&] { return std::make_unique<frmOptions>(options, std::string("/nonexistent/o.ini")); },
        [] { return std::make_unique<frmSuggest>(); },
    };
    for (const auto& make : forms) {
        for (const double dpi : {96.0, 120.0, 144.0}) {
            std::unique_ptr<QWidget> form = make();
            SCOPED_TRACE(form->windowTitle().toStdString() + " at " + std::to_string(dpi));
            const QSize size = form->size();
            const QList<QWidget*> controls = form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            ASSERT_GE(controls.size(), 4);
            std::vector<QRect> rects;
            std::vector<double> points;
            for (QWidget* c : controls) {
                rects.push_back(c->geometry());
                points.push_back(c->font().pointSizeF());
            }
            scaleFormToScreen(*form, {dpi, dpi});
            EXPECT_EQ(form->size(), size);
            EXPECT_EQ(form->minimumSize(), size);  // still fixed
            for (qsizetype i = 0; i < controls.size(); ++i) {
                SCOPED_TRACE(controls[i]->objectName().toStdString());
                EXPECT_EQ(controls[i]->geometry(), rects[size_t(i)]);
                const bool image = qobject_cast<ImageButton*>(controls[i]) != nullptr;
                EXPECT_NEAR(controls[i]->font().pointSizeF(),
                            image ? points[size_t(i)] : points[size_t(i)] * 96.0 / dpi, 0.01);
            }
        }
    }
}

}  // namespace
}  // namespace tessaro
