#include "platform/gui/OpenLink.h"

#include "platform/gui/ModalSeam.h"

#include <QDesktopServices>
#include <QUrl>

void OpenLink(const QString& target)
{
    if (ModalSeam::active()) {
        ModalSeam::Shown shown;
        shown.dialog = QStringLiteral("OpenLink");
        shown.text = target;
        ModalSeam::record(shown);
        return;
    }
    // Plain spaces and the like in an address are encoded; a path without a scheme opens as a file.
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}
