#pragma once

#include "document/DocumentModel.h"
#include "ftp/TFileFTP.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The FTP parameters dialog: server, port, passive mode, remote file, login and password, the
// synchronisation switches above them, and a bottom strip with the transfer's status text, its
// progress bar and the OK and Annuler buttons. Made once at start-up and reused, in three uses:
// - transfer (Open on FTP, Save on FTP): fields from the settings file, OK runs the transfer and
//   the dialog closes with OK once it succeeded; a failure is shown and the user may retry;
// - synchronisation parameters of the document: OK and Cancel only close it;
// - the progress of the upload that follows a local save of a synchronised document.
//
// Under the modal seam the dialog is not shown: the seam is asked ("BoiteFTP", the title) for
// each button press, "OK", "Cancel" or "OK+Cancel" (Cancel pressed while the transfer runs), or
// a map of control names to the values typed before the press, with the press under "button";
// a running transfer is waited for between presses.
// What becomes of an upload of the synchronised copy once the beginning of the copy on the
// server has been read.
enum class UploadGate
{
    Upload, // the copy on the server is the one this computer knew (or there is none)
    Merge,  // the user chose to merge the newer copy into the document first
    Cancel  // nothing is uploaded
};

class TBoiteFTP : public QDialog
{
    Q_OBJECT
public:
    // UploadSyncCopy's result when the user chose to merge the copy on the server.
    static constexpr int MergeRequested = 2;

    explicit TBoiteFTP(QWidget* parent = nullptr);
    ~TBoiteFTP() override;

    // Transfer mode: a download when TransferData is empty, else an upload of it. True when the
    // dialog closed with OK, that is after a successful transfer; a download's bytes are then in
    // TransferData.
    bool ShowForTransfer();
    // Loads the fields from the document's parameters (or from the marked entry when the document
    // uses it) and, unless silent, lets the user edit them. True on OK: `doc` then holds the
    // fields and *changed says whether any differs from what it was filled from.
    bool EditSyncParameters(const TFeuille* marked, TDoc& doc, bool silent, bool* changed = nullptr);
    // The upload of the enciphered document just saved, with the document's parameters. With a
    // gate, the beginning of the copy on the server is read first (at every attempt, a retry
    // too) and the gate decides, on the UI thread, whether the upload goes on. Returns Accepted
    // after a successful upload, MergeRequested, or Rejected.
    int UploadSyncCopy(const TDoc& doc, const TFeuille* ftpEntry, const QByteArray& enciphered,
                       const std::function<UploadGate(const TFileFTP& head)>& gate = {});
    // The download of the whole synchronised copy, with the document's parameters, in the dialog
    // (progress, Cancel, retry). Empty when cancelled.
    QByteArray DownloadSyncCopy(const TDoc& doc, const TFeuille* ftpEntry);

    void UpdateFieldStates();
    // The parameters as the fields give them, for a transfer (texts as typed).
    TFileFTP::Parameters fieldParameters() const;

    // The bytes to upload, or the bytes downloaded.
    QByteArray TransferData;
    bool SyncParametersMode = false;
    TFileFTP* runningTransfer() const { return RunningTransfer; }

    // Buttons and field exits, also for tests.
    void OKBtnClick();
    void AnnulerBtnClick();
    void ServeurExit();
    void FichierExit();
    void cbUseIsFTPClick();

public slots:
    void reject() override;

signals:
    // A transfer started by the dialog has ended and its outcome was handled.
    void transferEnded();

public:
    QCheckBox* CBUseFTP = nullptr;
    QCheckBox* cbUseIsFTP = nullptr;
    QGroupBox* GB = nullptr;
    QLabel* Label1 = nullptr; // "Serveur :"
    QLineEdit* Serveur = nullptr;
    QLabel* Label2 = nullptr; // "Port :"
    QSpinBox* Port = nullptr;
    QCheckBox* cbPassif = nullptr;
    QPushButton* OptionsNet = nullptr;
    QLabel* Label3 = nullptr; // "Fichier :"
    QLineEdit* Fichier = nullptr;
    QLabel* Label4 = nullptr; // "Login :"
    QLineEdit* Login = nullptr;
    QLabel* Label5 = nullptr; // "Mot de passe :"
    QLineEdit* Pass = nullptr;
    QLabel* lblTransport = nullptr; // the transport the server field names, and its trust
    QLabel* Info = nullptr;
    QProgressBar* Barre = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* AnnulerBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct MarkedFields
    {
        QString webAddress;
        QString login;
        QString password;
    };

    void updateTitle();
    void fillFromEntry();
    void setTransferFieldsEnabled(bool enabled);
    void startTransfer();
    void beginTransfer();
    void prepareSyncTransfer(const TDoc& doc, const TFeuille* ftpEntry);
    void finishSyncTransfer();
    void updateTransportLabel();
    void TransferDone(TFileFTP* worker);
    bool closeWithOkAllowed();
    int runModal();

    QPointer<TFileFTP> RunningTransfer;
    bool m_cancelRequested = false; // Cancel was pressed while RunningTransfer ran
    std::function<UploadGate(const TFileFTP&)> m_gate;
    bool m_checking = false; // the next transfer reads the beginning of the copy for the gate
    std::optional<MarkedFields> MarkedEntry;
};
