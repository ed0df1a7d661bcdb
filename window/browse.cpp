#include "window/browse.h"

#include "pictures/loopplot.h"
#include "window/form1.h"
#include "window/frmopensave.h"
#include "window/picturebox.h"

#include <QLineEdit>
#include <QPushButton>

#include <memory>

namespace kov {

void Command2_Click(Form1 &form)
{
    form.beginCommand(Command::Browse);
    {
        // A fresh dialog for every opening, discarded when it closes.
        auto dialog = std::make_unique<frmOpenSave>(form);
        dialog->setWindowTitle(QStringLiteral("Data File Open"));
        dialog->txtOpenSave->setText(QStringLiteral("*.prn"));
        dialog->txtOpenSave->selectAll();
        dialog->exec();
    }
    // Whether or not a file was chosen, the window waits for a new drawing.
    form.applyButtonEvent(ButtonEvent::BrowseClosed);
    ClearPlot(form.plotCanvas());
    form.state().DataLoaded = 0;
}

void connectBrowse(Form1 &form)
{
    form.onClicked(Button::Browse, 0, [&form] { Command2_Click(form); });
}

} // namespace kov
