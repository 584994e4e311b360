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
// name, detail in words), sortable by any column; a double click or Enter on a finding shows that
// entry in the main window and keeps the window open; "Compare with a breach list..." adds the
// breached passwords from a file of the published list. Passwords never appear in it.
class TBoiteSante : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteSante(QWidget* parent = nullptr);

    // Shows the findings of `doc` modally until the window is closed. `breachFile` is the breach
    // list compared last (empty: none); it is searched again for the first findings, and holds the
    // list compared last when the window closes (empty when it could not be read). `askBreachList`
    // gives the file of a breach list the user chooses (empty: none chosen). A breach list is
    // searched by a thread of its own while the window stays live; its findings are added when the
    // search ends, if the document is still the one open. Under the test seam nothing is shown: the
    // question is recorded as "BoiteSante" (text: the number of findings), asked once any search
    // has ended, and the answer is a row number to double-click, "enter:ROW" for Enter on that row,
    // the text "hibp" to press the breach list button, or anything else to close; it is asked
    // again until closed.
    void ShowFindings(const DocumentState& doc, health::Options options, QString& breachFile,
                      const std::function<QString()>& askBreachList);
    // A breach search is running.
    bool searching() const { return m_search != nullptr; }

    QTreeWidget* ListeSante = nullptr;
    QPushButton* btnHibp = nullptr;
    QPushButton* btnFermer = nullptr;

signals:
    // A finding was double-clicked or Enter pressed on it: its entry is to be shown.
    void entryChosen(TFeuille* entry);
    // The breach search ended (its findings shown, its failure said, or dropped).
    void searchEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the list with the findings of options.
    void fill(const DocumentState& doc, const health::Options& options);
    // Starts the search of the breach list at path for the passwords of doc; once it succeeds,
    // m_comparedFile names it.
    void startSearch(const DocumentState& doc, const health::Options& options, const QString& path);
    // Stops a running search and waits for its thread (a lookup or two).
    void stopSearch();
    // Under the test seam: waits, as a user would, until the running search has ended.
    void waitForSearch();
    void choose(class QTreeWidgetItem* item);

    QThread* m_search = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stop;
    QString m_comparedFile;
};
