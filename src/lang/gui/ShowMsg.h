#pragma once

#include "platform/SoundEvent.h"

#include <QString>

class QMessageBox;
class QWidget;

// Kind of a message box: it chooses the sound, the icon and the fixed title.
enum class MsgKind
{
    Warning,
    Error,
    Information,
    Confirmation,
    Plain, // no icon, the simple beep
};

// Buttons of a message box, combined with "|"; ShowMsg returns the one pressed.
enum MsgButton : int
{
    MsgNone = 0,
    MsgYes = 0x1,
    MsgNo = 0x2,
    MsgOK = 0x4,
    MsgCancel = 0x8,
    // Not a button: with MsgNo offered, No is the default (Enter) button instead of OK or Yes. For
    // questions whose Yes does something that cannot be taken back.
    MsgDefaultNo = 0x100,
};

// The system sound each kind plays.
platform::SystemSound soundForMsgKind(MsgKind kind);

// The fixed French title of each kind ("Avertissement", "Erreur", "Information", "Confirmation");
// empty for Plain.
QString titleForMsgKind(MsgKind kind);

// What Escape and the close box answer: Cancel when offered, else No, else OK.
MsgButton escapeAnswer(int buttons);

// Default (Enter) button: No when asked for with MsgDefaultNo, else OK when offered, else Yes when
// offered, else none.
MsgButton defaultButton(int buttons);

// The box ShowMsg shows, not yet shown: icon, fixed title, text, the offered buttons with their
// fixed captions, each carrying its MsgButton value in the property "msgButton", and the default
// and Escape buttons set. The caller owns it.
QMessageBox* createMsgBox(const QString& text, MsgKind kind, int buttons, QWidget* parent = nullptr);

// Shows a modal message box with the text, plays the kind's sound, and returns the button the
// user pressed. `buttons` 0 means OK alone. Titles and button captions ("&Oui", "&Non", "OK",
// "Annuler") are fixed French texts whatever the language table. Under the test seam nothing
// is shown or played: the question is recorded as dialog "ShowMsg" and the next queued answer
// (a MsgButton value) is returned, or the Escape answer when none is queued.
MsgButton ShowMsg(const QString& text, MsgKind kind, int buttons = MsgOK, QWidget* parent = nullptr);
