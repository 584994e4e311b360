#include "platform/gui/OpenQuestions.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

int CloseOpenQuestions(const QWidget* keep)
{
    // Collected first: rejecting a dialog may destroy others (a message box owned by a dialog).
    QList<QPointer<QDialog>> open;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w);
            dialog && dialog != keep && dialog->isVisible() && dialog->isModal())
            open << dialog;
    int closed = 0;
    for (const QPointer<QDialog>& dialog : open)
        if (dialog && dialog->isVisible()) {
            dialog->reject();
            ++closed;
        }
    return closed;
}
