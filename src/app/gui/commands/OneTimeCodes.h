#pragma once

#include "crypto/OneTimeCode.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class ClipboardCommands;
class CommandEnabler;
class DocumentView;
class QTimer;
struct TFeuille;

// The one-time code of the selected entry (an "otpauth://totp/" line in its notes): shown in the
// status bar with the seconds it stays valid, renewed every second, and copied by Item > Copy
// one-time code with the clipboard's clearing and secret mark. The clock is injectable for tests.
class OneTimeCodes : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<qint64()>; // seconds since the epoch

    OneTimeCodes(DocumentView* view, CommandEnabler& enabler, ClipboardCommands* clipboard, QLabel* status,
                 QObject* parent = nullptr);

    void setClock(Clock clock) { m_clock = std::move(clock); }
    // ActionCopierCode.
    void copyCode();
    // The selection or its notes changed, the document was hidden or shown, or a second went by.
    void refresh();
    // The code shown now (empty when the selected entry has none).
    QString currentCode() const;

private:
    DocumentView* m_view;
    CommandEnabler& m_enabler;
    ClipboardCommands* m_clipboard;
    QPointer<QLabel> m_status; // goes with the status bar
    QTimer* m_timer;
    Clock m_clock;
    // The notes last read, to parse them again only when they changed.
    const TFeuille* m_entry = nullptr;
    QString m_notes;
    std::optional<otp::Parameters> m_parameters;
};
