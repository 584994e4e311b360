#include "ftp/gui/SyncQuestion.h"

#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"
#include "platform/gui/Sound.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace {
UploadGate gateFor(int button)
{
    if (button == MsgYes)
        return UploadGate::Merge;
    if (button == MsgNo)
        return UploadGate::Upload;
    return UploadGate::Cancel;
}
} // namespace

UploadGate AskSyncConflict(const QString& text)
{
    const int buttons = MsgYes | MsgNo | MsgCancel;
    if (ModalSeam::active())
        return gateFor(
            ModalSeam::ask({QStringLiteral("SyncConflict"), text, int(MsgKind::Warning), buttons}, int(MsgCancel))
                .toInt());
    platform::playSound(soundForMsgKind(MsgKind::Warning));
    std::unique_ptr<QMessageBox> box(createMsgBox(text, MsgKind::Warning, buttons, DialogOwner()));
    for (QAbstractButton* b : box->buttons()) {
        const int value = b->property("msgButton").toInt();
        b->setText(Msg(value == MsgYes  ? QStringLiteral("SyncMerge")
                       : value == MsgNo ? QStringLiteral("SyncReplace")
                                        : QStringLiteral("SyncCancel")));
        if (value == MsgCancel)
            box->setDefaultButton(qobject_cast<QPushButton*>(b));
    }
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    return gateFor(clicked ? clicked->property("msgButton").toInt() : int(MsgCancel));
}
