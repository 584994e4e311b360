#pragma once

#include "generator/PasswordHealth.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>

class QPushButton;
class QThread;
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
    // chooses (empty: none chosen); it is searched by a thread of its own while the window stays
    // live, and its findings are added when the search ends, if the document is still the one
    // open. Under the test seam nothing is shown: the question is recorded as "BoiteSante" (text:
    // the number of findings) and the answer is a row number to double-click, the text "hibp" to
    // press the breach list button (the next question comes once its search ended), or nothing to
    // close.
    TFeuille* ShowFindings(const DocumentState& doc, health::Options options,
                           const std::function<QString()>& askBreachList);
    // A breach search is running.
    bool searching() const { return m_search != nullptr; }

    QTreeWidget* ListeSante = nullptr;
    QPushButton* btnHibp = nullptr;
    QPushButton* btnFermer = nullptr;

signals:
    // The breach search ended (its findings shown, its failure said, or dropped).
    void searchEnded();

private:
    // Fills the list with the findings of options.
    void fill(const DocumentState& doc, const health::Options& options);
    // Starts the search of the breach list at path for the passwords of doc.
    void startSearch(const DocumentState& doc, const health::Options& options, const QString& path);
    // Stops a running search and waits for its thread (a lookup or two).
    void stopSearch();

    TFeuille* m_chosen = nullptr;
    QThread* m_search = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stop;
};
