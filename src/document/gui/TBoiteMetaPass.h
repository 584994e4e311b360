#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The meta password dialog. In enter mode it asks for the password once; in choose mode twice,
// and OK stays disabled until both fields hold the same non-empty text (letter case counts).
// One instance is made at start-up and reused for every question.
class TBoiteMetaPass : public QDialog
{
    Q_OBJECT
public:
    enum Mode
    {
        Enter = 0,
        Choose = 1
    };

    static constexpr int MaxLength = 50;

    explicit TBoiteMetaPass(QWidget* parent = nullptr);
    ~TBoiteMetaPass() override;

    // The dialog made at start-up (the last one created), or none.
    static TBoiteMetaPass* instance();

    // Empties the fields and lays the dialog out for the mode, naming the file of `path`
    // (or the untitled document when it is empty).
    void prepare(Mode mode, const QString& path);
    // Choose mode with the document's protection below the fields: the "strong protection" box,
    // checked as `strong`, and the plain word that such a document opens only in this program.
    void prepareWithProtection(const QString& path, bool strong);
    Mode mode() const { return m_mode; }
    bool strongChecked() const;

    QString password() const;
    // Wipes what was typed.
    void clearFields();

    QLabel* LblFich = nullptr;
    QLineEdit* EditPass = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* EditConfirm = nullptr;
    QCheckBox* cbFort = nullptr;
    QLabel* lblFort = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateOkButton();

    Mode m_mode = Enter;
};

// Asks for the meta password: enter mode for opening, merging and the idle lock, choose mode for
// save as and the change of meta password. On OK stores the password into `target` and returns
// true; on Cancel leaves `target` as it was. `path` names the file in the question.
// Tests answer through the modal seam (dialog "MetaPass"): a QString is OK with that password,
// an invalid QVariant is Cancel.
bool AskMetaPassword(TBoiteMetaPass::Mode mode, QString& target, const QString& path);

// The same in choose mode, with the document's protection: `strong` is the box as shown and, on
// OK, as left. Through the modal seam (dialog "MetaPass", kind Choose, detail "strong" or
// "compatible" for the box as shown) a QString answers OK with the box untouched, a QVariantMap
// {"password": QString, "strong": bool} answers OK with the box set, an invalid QVariant Cancel.
bool AskMetaPasswordAndProtection(QString& target, bool& strong, const QString& path);

// The question line of the dialog: Msg("Pass") + " \"" + file name + "\" :".
QString MetaPassQuestion(const QString& path);
