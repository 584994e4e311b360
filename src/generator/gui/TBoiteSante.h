#pragma once

#include "generator/PasswordHealth.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTreeWidget;

// The password health window "BoiteSante": the findings of the open document (kind, group path,
// name, detail), sortable by any column; a double click on a finding closes it and shows that entry
// in the main window; "Compare with a breach list..." adds the breached passwords from a file of
// the published list. Passwords never appear in it.
class TBoiteSante : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteSante(QWidget* parent = nullptr);

    // Shows the findings of `doc` modally and returns the entry of the finding double-clicked, or
    // null when the window was closed. `askBreachList` gives the file of a breach list the user
    // chooses (empty: none chosen). Under the test seam nothing is shown: the question is recorded
    // as "BoiteSante" (text: the number of findings) and the answer is a row number to double-click,
    // the text "hibp" to press the breach list button, or nothing to close.
    TFeuille* ShowFindings(const DocumentState& doc, health::Options options,
                           const std::function<QString()>& askBreachList);

    QTreeWidget* ListeSante = nullptr;
    QPushButton* btnHibp = nullptr;
    QPushButton* btnFermer = nullptr;

private:
    // Fills the list; false when the breach list could not be read (said in a message box).
    bool fill(const DocumentState& doc, const health::Options& options, const QString& breachFile);

    TFeuille* m_chosen = nullptr;
};
