#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The auto-type chooser: the entries that match the window, by name, login and group (never a
// password), a filter field above them. Typing filters, the arrow keys move in the list without
// leaving the field, Enter types the entry chosen. Made once by the window, shown when needed.
class TBoiteAutoType : public QDialog
{
    Q_OBJECT
public:
    struct Candidate
    {
        QString name;
        QString login;
        QString group; // the group path
    };

    explicit TBoiteAutoType(QWidget* parent = nullptr);

    // Shows the candidates for the window titled `windowTitle`; the index of the one chosen, -1 on
    // Cancel. Under the test seam nothing is shown: the question "AutoType" is recorded with the
    // title as its text and the candidates' "name / login / group" lines as its detail, and an int
    // answers it (-1 or no answer: Cancel).
    int choose(const QList<Candidate>& candidates, const QString& windowTitle);

    QLabel* lblFiltre = nullptr;
    QLineEdit* edFiltre = nullptr;
    QTreeWidget* ListeAutoType = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnAnnuler = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter();

    QList<Candidate> m_candidates;
};
