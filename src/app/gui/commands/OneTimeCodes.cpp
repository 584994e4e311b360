#include "app/gui/commands/OneTimeCodes.h"

#include "app/gui/commands/ClipboardCommands.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/CommandEnabler.h"
#include "document/DocumentModel.h"
#include "lang/LangTable.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QTimer>

OneTimeCodes::OneTimeCodes(DocumentView* view, CommandEnabler& enabler, ClipboardCommands* clipboard, QLabel* status,
                           QObject* parent)
    : QObject(parent), m_view(view), m_enabler(enabler), m_clipboard(clipboard), m_status(status),
      m_timer(new QTimer(this)), m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
{
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &OneTimeCodes::refresh);
    connect(m_view, &DocumentView::entrySelected, this, &OneTimeCodes::refresh);
    connect(m_view, &DocumentView::notesStored, this, &OneTimeCodes::refresh);
    refresh();
}

void OneTimeCodes::refresh()
{
    if (!m_status)
        return;
    const TFeuille* entry = m_view->selectedEntry();
    if (!entry) {
        m_parameters.reset();
        m_entry = nullptr;
        m_notes.clear();
    } else if (entry != m_entry || entry->Notes != m_notes) {
        // The notes are parsed again only when they are other notes than last time.
        m_entry = entry;
        m_notes = entry->Notes;
        m_parameters = otp::FindInNotes(m_notes);
    }
    EnablingFacts facts;
    facts.codeFound = m_parameters.has_value();
    m_enabler.refresh(EnablingMoment::OneTimeCodeChecked, facts);
    if (!m_parameters) {
        m_timer->stop();
        m_status->clear();
        m_status->hide();
        return;
    }
    // The clock keeps running while the document is hidden by the idle lock, so that the code comes
    // back with it; hidden, nothing of it shows.
    if (m_view->isHidden()) {
        m_status->clear();
        m_status->hide();
    } else {
        const qint64 now = m_clock();
        // Shown even while passwords are hidden (the default): a code is worth nothing without
        // the password, and a hidden one would leave the user nothing to type.
        m_status->setText(
            FillPlaceholders(Msg(QStringLiteral("CodeUnique")),
                             {otp::Totp(*m_parameters, now), QString::number(otp::SecondsLeft(*m_parameters, now))}));
        m_status->show();
    }
    if (!m_timer->isActive())
        m_timer->start();
}

QString OneTimeCodes::currentCode() const
{
    return m_parameters ? otp::Totp(*m_parameters, m_clock()) : QString();
}

void OneTimeCodes::copyCode()
{
    refresh();
    const QString code = currentCode();
    if (!code.isEmpty())
        m_clipboard->copySecretText(code);
}
