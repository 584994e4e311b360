#include "platform/gui/InputBox.h"

#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QInputDialog>

QString InputBox(QWidget* parent, const QString& title, const QString& prompt)
{
    if (ModalSeam::active())
        return ModalSeam::ask({QStringLiteral("InputBox"), prompt, 0, 0, parent}, QString()).toString();
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    // The title is read whole in the title bar.
    dialog.setMinimumWidth(WidthForTitle(title));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}
