#include "tests/window/screenshotcourse.h"

#include "window/form1.h"
#include "window/frmopensave.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

namespace kov {

void runScreenshotCourse(Form1 &form, const QString &record, int cycles)
{
    controls(form).Text4->setText(QStringLiteral("2"));
    controls(form).Text5->setText(QStringLiteral("3"));
    controls(form).Text13->setText(QStringLiteral("1000"));
    controls(form).Combo2->setEditText(QStringLiteral("kN"));

    // The chooser is modal: the record is typed into it once it shows.
    frmOpenSave::shownHook() = [&record](frmOpenSave &dialog) {
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("txtOpenSave"));
        auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOpenSave(0)"));
        if (name && ok) {
            name->setText(record);
            ok->click();
        }
        if (dialog.isVisible())
            dialog.reject();
    };
    controls(form).Command2->click();
    frmOpenSave::shownHook() = nullptr;
    controls(form).Command3[0]->click();
    for (int i = 0; i < cycles && controls(form).Command6->isEnabled(); ++i)
        controls(form).Command6->click();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

} // namespace kov
