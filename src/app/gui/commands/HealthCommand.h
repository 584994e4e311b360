#pragma once

#include <QObject>

class DocumentState;
class DocumentView;
class TBoiteSante;
class QWidget;

// Tools > Password health: the findings of the open document in their window; the finding
// double-clicked shows its entry in the main window (its group selected, its row selected).
class HealthCommand : public QObject
{
    Q_OBJECT
public:
    HealthCommand(DocumentView* view, DocumentState& doc, QWidget* window, QObject* parent = nullptr);

    // ActionSante.
    void run();
    TBoiteSante* dialog() const { return m_dialog; }

private:
    DocumentView* m_view;
    DocumentState& m_doc;
    QWidget* m_window;
    TBoiteSante* m_dialog;
};
