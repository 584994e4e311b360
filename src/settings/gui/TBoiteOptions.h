#pragma once

#include <QDialog>
#include <QLocale>

struct Settings;

class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeySequenceEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The options dialog: four groups of preferences (options, updates, window layout, security)
// and the OK and Annuler buttons. Made once at start-up and shown modally by the main window.
// Each opening loads the controls from the settings, so Cancel discards every change. The
// association of documents with the program is no setting: it is read whenever the dialog
// becomes active and written by OK only.
class TBoiteOptions : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteOptions(QWidget* parent = nullptr);

    // The fixed message of a failed association write.
    static const QString AssociationError;
    // Tests leave the desktop's caches alone.
    static bool RefreshDesktopCaches;

    // Shows the dialog modally for these settings and copies the controls back into them on OK
    // (after the association was written). True on OK. Under the test seam nothing is shown: the
    // question "Options" is recorded and answered by a bool (true for OK); opened() lets a test
    // change the controls first.
    bool execFor(Settings& settings);

    // Sets every control from the settings, as each opening does.
    void loadFrom(const Settings& settings, const QLocale& locale = QLocale::system());
    // Copies the controls into the settings, in the order of the program.
    void saveTo(Settings& settings) const;
    // AssocInitial and CBAssocie := whether documents open with this executable now.
    void readAssociation();
    bool assocInitial() const { return m_assocInitial; }
    // The executable the association names; the running program unless a test says otherwise.
    QString executablePath() const;
    void setExecutablePath(const QString& path) { m_executablePath = path; }

    QGroupBox* GroupBox2 = nullptr; // " Options "
    QCheckBox* CBAutoHide = nullptr;
    QLabel* Label1 = nullptr; // second line of CBAutoHide
    QCheckBox* CBTray = nullptr;
    QCheckBox* CBMRU = nullptr;
    QCheckBox* CBAssocie = nullptr;
    QCheckBox* cbOneInstance = nullptr;
    QCheckBox* CBAutoSync = nullptr;
    QCheckBox* cbAutoCopy = nullptr;
    QLabel* Label2 = nullptr; // "Langue :"
    QComboBox* CBLangue = nullptr;

    QGroupBox* GroupBox3 = nullptr; // " Mises à jour "
    QCheckBox* cbUseMaj = nullptr;
    QRadioButton* rbDay = nullptr;
    QRadioButton* rbWeek = nullptr;
    QRadioButton* rbMounth = nullptr;

    QGroupBox* GroupBox1 = nullptr; // " Positionnement "
    QCheckBox* CBPosWin = nullptr;
    QCheckBox* CBTailleWin = nullptr;
    QCheckBox* CBCol = nullptr;
    QCheckBox* CBPanel = nullptr;

    QGroupBox* GroupBox4 = nullptr; // " Sécurité "
    QCheckBox* CBHidePwd = nullptr;
    QCheckBox* cbIdleMain = nullptr;
    QSpinBox* seIdleMain = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* cbIdleClipboard = nullptr;
    QSpinBox* seIdleclipboard = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblAutoType = nullptr;          // "Raccourci de la saisie automatique :"
    QKeySequenceEdit* edAutoType = nullptr; // the global shortcut of auto-type

    QPushButton* OKBtn = nullptr;
    QPushButton* AnnulerBtn = nullptr;

signals:
    // The controls were loaded; the dialog is about to be shown.
    void opened();

protected:
    bool event(QEvent* event) override;

private:
    // OK: writes or removes the association when the check box changed it.
    void writeAssociation();

    bool m_assocInitial = false;
    QString m_executablePath;
};
