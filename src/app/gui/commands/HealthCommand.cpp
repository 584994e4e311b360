#include "app/gui/commands/HealthCommand.h"

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListView.h"
#include "generator/gui/TBoiteSante.h"
#include "lang/LangTable.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/gui/FileDialogs.h"

#include <QPushButton>

HealthCommand::HealthCommand(DocumentView* view, DocumentState& doc, QWidget* window, QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_window(window), m_dialog(new TBoiteSante(window))
{
}

void HealthCommand::run()
{
    m_view->commitNotes();
    // The window follows the language of the moment.
    ApplyLangTable(m_dialog);
    const DocumentTicket ticket(m_doc);
    TFeuille* chosen = m_dialog->ShowFindings(m_doc, health::Options{}, [this] {
        return AskOpenFileName(m_dialog, m_dialog->btnHibp->text().remove(QLatin1Char('&')), QString(), QString());
    });
    // The entry is shown only in the document it was found in, and while it is still there.
    if (!chosen || !ticket.stillOpen() || m_doc.indexOfEntry(chosen) < 0)
        return;
    if (TGroupe* group = m_doc.findGroup(chosen->Group)) {
        m_view->selectGroup(group);
        m_view->flushGroupChange();
    }
    const int row = m_view->rowOfEntry(chosen);
    if (row >= 0) {
        m_view->selectRow(row);
        m_view->liste()->setFocus();
    }
}
