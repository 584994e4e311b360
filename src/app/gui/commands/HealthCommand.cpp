#include "app/gui/commands/HealthCommand.h"

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListView.h"
#include "generator/gui/TBoiteSante.h"
#include "lang/LangTable.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/gui/FileDialogs.h"

#include <QPushButton>
#include <QScopeGuard>

HealthCommand::HealthCommand(DocumentView* view, DocumentState& doc, QWidget* window, QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_window(window), m_dialog(new TBoiteSante(window))
{
    connect(m_dialog, &TBoiteSante::entryChosen, this, &HealthCommand::showEntry);
}

QStringList HealthCommand::breachListFilters()
{
    return {Msg(QStringLiteral("FiltreFuites")), Msg(QStringLiteral("FiltreTous"))};
}

void HealthCommand::run()
{
    m_view->commitNotes();
    // The window follows the language of the moment.
    ApplyLangTable(m_dialog);
    if (!m_breachTicket || !m_breachTicket->stillOpen())
        m_breachFile.clear();
    m_shown.emplace(m_doc);
    const auto forget = qScopeGuard([this] { m_shown.reset(); });
    QString breachFile = m_breachFile;
    m_dialog->ShowFindings(m_doc, health::Options{}, breachFile, [this] {
        int chosen = -1;
        return AskOpenFileName(m_dialog, m_dialog->btnHibp->text().remove(QLatin1Char('&')), breachListFilters(),
                               &chosen);
    });
    // Remembered for this document only; a list compared while another one came in is dropped.
    if (m_shown->stillOpen()) {
        m_breachFile = breachFile;
        m_breachTicket.emplace(m_doc);
    }
}

void HealthCommand::showEntry(TFeuille* chosen)
{
    // The entry is shown only in the document it was found in, and while it is still there.
    if (!m_shown || !m_shown->stillOpen() || m_doc.indexOfEntry(chosen) < 0)
        return;
    if (TGroupe* group = m_doc.findGroup(chosen->Group)) {
        m_view->selectGroup(group);
        m_view->flushGroupChange();
    }
    const int row = m_view->rowOfEntry(chosen);
    if (row >= 0)
        m_view->selectRow(row);
}
