#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
struct Settings;

// The password generator window: the user picks character classes, a length and the
// first-letter option, sees a fresh password with its strength bar, may edit it, and closes with
// OK or Annuler. Created once, it reloads its controls from the settings at every opening.
//
// Controls carry the object names the language tables key on: GroupBox1, cbMaj, cbMin, cbAcc,
// cbSpe, cbNum, cbPerso, edPerso, Apercu (the preview), Label1 ("Aperçu :"), Label2
// ("Longueur :"), seLong, cb1lettre, btnGenerer, Label3 ("Résultat :"), edMdp, Label4
// ("Robustesse :"), pbScore, btnOK, btnAnnuler.
class TfrmGenerateur : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmGenerateur(QWidget* parent = nullptr);

    // Loads the controls from settings, shows the window modally and, on OK, copies the choices
    // back into settings and returns true; otherwise leaves settings unchanged and returns false.
    //
    // Under the test seam (ModalSeam active) nothing is shown: a question Shown{"Generateur",
    // <character pool>} is recorded and the queued answer decides: a bool (true = OK, false =
    // Annuler), or a QString meaning OK after the user typed that text into the result field.
    // No answer queued means Annuler.
    bool execFor(Settings& settings);

    // The text of the result field, as possibly edited by the user.
    QString result() const;
    // The result field itself ("edMdp").
    QLineEdit* resultField() const { return m_edMdp; }

    void loadFrom(const Settings& settings);
    void saveTo(Settings& settings) const;

    QString charPool() const { return m_pool; }

    // Rebuilds the preview and the pool from the check boxes, then generates.
    void BuildPool();
    // Draws a new password from the pool and updates the strength bar; empty for an empty pool
    // (the bar then keeps its position and hint).
    QString GeneratePassword();

signals:
    // Emitted after the controls are loaded, just before the window is shown modally (or the
    // test seam is asked).
    void opened();

private:
    void generateIntoResult();
    void lengthChanged(int length);

    QGroupBox* m_group = nullptr;
    QCheckBox* m_cbMaj = nullptr;
    QCheckBox* m_cbMin = nullptr;
    QCheckBox* m_cbAcc = nullptr;
    QCheckBox* m_cbSpe = nullptr;
    QCheckBox* m_cbNum = nullptr;
    QCheckBox* m_cbPerso = nullptr;
    QLineEdit* m_edPerso = nullptr;
    QPlainTextEdit* m_preview = nullptr;
    QSpinBox* m_seLong = nullptr;
    QCheckBox* m_cb1lettre = nullptr;
    QPushButton* m_btnGenerer = nullptr;
    QLineEdit* m_edMdp = nullptr;
    QProgressBar* m_pbScore = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnAnnuler = nullptr;

    QString m_pool;
    bool m_loading = false; // controls are being set from the settings: no generation yet
};
