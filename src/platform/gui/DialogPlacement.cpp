#include "platform/gui/DialogPlacement.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>
#include <QWindow>

QWidget* DialogOwner(const QWidget* dialog)
{
    QWidget* owner = QApplication::activeWindow();
    if (owner && owner != dialog)
        return owner;
    owner = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != dialog && w->isVisible() && w->objectName() == QLatin1String("frmTresorin"))
            owner = w;
    return owner;
}

void PlaceDialogOverOwner(QWidget* dialog)
{
    QWidget* owner = DialogOwner(dialog);
    if (!owner)
        return;
    dialog->winId(); // makes the native window, so that its owner can be set
    if (dialog->windowHandle() && owner->windowHandle())
        dialog->windowHandle()->setTransientParent(owner->windowHandle());
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    if (QScreen* screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(qBound(area.left(), frame.left(), qMax(area.left(), area.right() - frame.width())));
        frame.moveTop(qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() - frame.height())));
    }
    dialog->move(frame.topLeft());
}

int WidthForTitle(const QString& title)
{
    const QFontMetrics metrics(QApplication::font());
    return metrics.horizontalAdvance(title) * 11 / 10 + 110;
}
