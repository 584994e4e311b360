#include "lang/gui/ShowMsg.h"

#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"
#include "platform/gui/Sound.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

platform::SystemSound soundForMsgKind(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Warning:
        return platform::SystemSound::Asterisk;
    case MsgKind::Error:
        return platform::SystemSound::Hand;
    case MsgKind::Information:
        return platform::SystemSound::Exclamation;
    case MsgKind::Confirmation:
        return platform::SystemSound::Question;
    case MsgKind::Plain:
        break;
    }
    return platform::SystemSound::SimpleBeep;
}

QString titleForMsgKind(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Warning:
        return QStringLiteral("Avertissement");
    case MsgKind::Error:
        return QStringLiteral("Erreur");
    case MsgKind::Information:
        return QStringLiteral("Information");
    case MsgKind::Confirmation:
        return QStringLiteral("Confirmation");
    case MsgKind::Plain:
        break;
    }
    return QString();
}

MsgButton escapeAnswer(int buttons)
{
    if (buttons == MsgNone)
        buttons = MsgOK;
    if (buttons & MsgCancel)
        return MsgCancel;
    if (buttons & MsgNo)
        return MsgNo;
    return MsgOK;
}

MsgButton defaultButton(int buttons)
{
    if ((buttons & MsgDefaultNo) && (buttons & MsgNo))
        return MsgNo;
    if (buttons == MsgNone)
        buttons = MsgOK;
    if (buttons & MsgOK)
        return MsgOK;
    if (buttons & MsgYes)
        return MsgYes;
    return MsgNone;
}

namespace {
QMessageBox::Icon iconForKind(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Warning:
        return QMessageBox::Warning;
    case MsgKind::Error:
        return QMessageBox::Critical;
    case MsgKind::Information:
        return QMessageBox::Information;
    case MsgKind::Confirmation:
        return QMessageBox::Question;
    case MsgKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QMessageBox* createMsgBox(const QString& text, MsgKind kind, int buttons, QWidget* parent)
{
    if (buttons == MsgNone)
        buttons = MsgOK;
    auto* box = new QMessageBox(parent);
    box->setIcon(iconForKind(kind));
    box->setWindowTitle(titleForMsgKind(kind));
    // Plain text: file names and server replies must show as written.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);

    struct Offered
    {
        MsgButton button;
        QMessageBox::StandardButton standard;
        const char16_t* caption;
    };
    const Offered all[] = {
        {MsgYes, QMessageBox::Yes, u"&Oui"},
        {MsgNo, QMessageBox::No, u"&Non"},
        {MsgOK, QMessageBox::Ok, u"OK"},
        {MsgCancel, QMessageBox::Cancel, u"Annuler"},
    };
    const MsgButton def = defaultButton(buttons);
    const MsgButton esc = escapeAnswer(buttons);
    for (const Offered& o : all) {
        if (!(buttons & o.button))
            continue;
        QPushButton* b = box->addButton(o.standard);
        b->setText(QString::fromUtf16(o.caption));
        b->setProperty("msgButton", int(o.button));
        if (o.button == def)
            box->setDefaultButton(b);
        if (o.button == esc)
            box->setEscapeButton(b);
    }
    return box;
}

MsgButton ShowMsg(const QString& text, MsgKind kind, int buttons, QWidget* parent)
{
    if (buttons == MsgNone)
        buttons = MsgOK;
    const MsgButton esc = escapeAnswer(buttons);
    // Right after another modal dialog closed no window is active: the box still belongs to the
    // main window, and is centred over it.
    QWidget* owner = parent ? parent : DialogOwner();
    if (ModalSeam::active()) {
        const QVariant answer = ModalSeam::ask({QStringLiteral("ShowMsg"), text, int(kind), buttons, owner}, int(esc));
        return MsgButton(answer.toInt());
    }

    platform::playSound(soundForMsgKind(kind));
    std::unique_ptr<QMessageBox> box(createMsgBox(text, kind, buttons, owner));
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    return clicked ? MsgButton(clicked->property("msgButton").toInt()) : esc;
}
