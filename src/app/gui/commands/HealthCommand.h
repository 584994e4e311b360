#pragma once

#include "document/DocumentModel.h"

#include <QObject>
#include <QString>

#include <optional>

class DocumentView;
class TBoiteSante;
class QWidget;

// Tools > Password health: the findings of the open document in their window; a finding
// double-clicked (or Enter on it) shows its entry in the main window (its group selected, its row
// selected) while the window stays. The breach list compared last is compared again at the next
// opening, as long as the same document is open.
class HealthCommand : public QObject
{
    Q_OBJECT
public:
    HealthCommand(DocumentView* view, DocumentState& doc, QWidget* window, QObject* parent = nullptr);

    // ActionSante.
    void run();
    TBoiteSante* dialog() const { return m_dialog; }

    // The file dialog's filters: breach lists (*.txt) and all files, from the language table.
    static QStringList breachListFilters();

private:
    void showEntry(TFeuille* entry);

    DocumentView* m_view;
    DocumentState& m_doc;
    QWidget* m_window;
    TBoiteSante* m_dialog;
    // The breach list compared last, and the document it was compared for.
    QString m_breachFile;
    std::optional<DocumentTicket> m_breachTicket;
    // The document the open window lists.
    std::optional<DocumentTicket> m_shown;
};
