#include "platform/gui/InputBox.h"

#include "platform/gui/ModalSeam.h"

#include <QInputDialog>

QString InputBox(QWidget* parent, const QString& title, const QString& prompt)
{
    if (ModalSeam::active())
        return ModalSeam::ask({QStringLiteral("InputBox"), prompt, 0, 0, parent}, QString()).toString();
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}
