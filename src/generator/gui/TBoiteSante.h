#pragma once

#include "generator/PasswordHealth.h"

#include <QDialog>

#include <functional>

class QPushButton;
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
    // list compared last (empty: none); it is read again for the first findings, and holds the list
    // compared last when the window closes (empty when it could not be read). `askBreachList` gives
    // the file of a breach list the user chooses (empty: none chosen). Under the test seam nothing
    // is shown: the question is recorded as "BoiteSante" (text: the number of findings) and the
    // answer is a row number to double-click, "enter:ROW" for Enter on that row, the text "hibp" to
    // press the breach list button, or anything else to close; it is asked again until closed.
    void ShowFindings(const DocumentState& doc, health::Options options, QString& breachFile,
                      const std::function<QString()>& askBreachList);

    QTreeWidget* ListeSante = nullptr;
    QPushButton* btnHibp = nullptr;
    QPushButton* btnFermer = nullptr;

signals:
    // A finding was double-clicked or Enter pressed on it: its entry is to be shown.
    void entryChosen(TFeuille* entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the list; false when the breach list could not be read (said in a message box).
    bool fill(const DocumentState& doc, const health::Options& options, const QString& breachFile);
    void choose(class QTreeWidgetItem* item);
};
