#include "ftp/gui/TBoiteFTP.h"

#include "document/gui/DocumentPipeline.h"
#include "ftp/FtpParameters.h"
#include "ftp/Synchronisation.h"
#include "ftp/TrustQuestion.h"
#include "ftp/gui/AskTrust.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <utility>

namespace {
template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The desktop's network settings, when a known one is installed.
QStringList networkSettingsCommand()
{
    if (!QStandardPaths::findExecutable(QStringLiteral("gnome-control-center")).isEmpty())
        return {QStringLiteral("gnome-control-center"), QStringLiteral("network")};
    if (!QStandardPaths::findExecutable(QStringLiteral("nm-connection-editor")).isEmpty())
        return {QStringLiteral("nm-connection-editor")};
    if (!QStandardPaths::findExecutable(QStringLiteral("systemsettings")).isEmpty())
        return {QStringLiteral("systemsettings"), QStringLiteral("kcm_networkmanagement")};
    return {};
}
} // namespace

TBoiteFTP::TBoiteFTP(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteFTP"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    CBUseFTP = named(new QCheckBox(QStringLiteral("Activer la synchronisation FTP"), this), "CBUseFTP");
    cbUseIsFTP =
        named(new QCheckBox(QStringLiteral("Utiliser l'entrée FTP définie dans la liste"), this), "cbUseIsFTP");

    GB = named(new QGroupBox(QStringLiteral(" Paramètres FTP "), this), "GB");
    Label1 = named(new QLabel(QStringLiteral("Serveur :"), GB), "Label1");
    Serveur = named(new QLineEdit(GB), "Serveur");
    Serveur->setToolTip(QStringLiteral("Nom du serveur FTP"));
    Label2 = named(new QLabel(QStringLiteral("Port :"), GB), "Label2");
    Port = named(new QSpinBox(GB), "Port");
    // Only the low 16 bits reach the connection; 0 stands for the usual port.
    Port->setRange(0, 2147483647);
    Port->setValue(21);
    cbPassif = named(new QCheckBox(QStringLiteral("Mode passif"), GB), "cbPassif");
    cbPassif->setToolTip(QStringLiteral("Use passive mode"));
    OptionsNet = named(new QPushButton(QStringLiteral("Options internet"), GB), "OptionsNet");
    Label3 = named(new QLabel(QStringLiteral("Fichier :"), GB), "Label3");
    Fichier = named(new QLineEdit(GB), "Fichier");
    Fichier->setToolTip(QStringLiteral("Nom du fichier avec le chemin"));
    Label4 = named(new QLabel(QStringLiteral("Login :"), GB), "Label4");
    Login = named(new QLineEdit(GB), "Login");
    Label5 = named(new QLabel(QStringLiteral("Mot de passe :"), GB), "Label5");
    Pass = named(new QLineEdit(GB), "Pass");
    Pass->setEchoMode(QLineEdit::Password);
    Label1->setBuddy(Serveur);
    Label2->setBuddy(Port);
    Label3->setBuddy(Fichier);
    Label4->setBuddy(Login);
    Label5->setBuddy(Pass);

    auto* grid = new QGridLayout(GB);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Serveur, 0, 1);
    grid->addWidget(Label2, 0, 2);
    grid->addWidget(Port, 0, 3);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(Fichier, 1, 1, 1, 3);
    grid->addWidget(Label4, 2, 0);
    grid->addWidget(Login, 2, 1);
    grid->addWidget(cbPassif, 2, 2, 1, 2);
    grid->addWidget(Label5, 3, 0);
    grid->addWidget(Pass, 3, 1);
    grid->addWidget(OptionsNet, 3, 2, 1, 2);
    grid->setColumnStretch(1, 1);

    lblTransport = named(new QLabel(this), "lblTransport");
    lblTransport->setWordWrap(true);
    lblTransport->hide();
    Info = named(new QLabel(this), "Info");
    Info->hide();
    Barre = named(new QProgressBar(this), "Barre");
    Barre->setTextVisible(false);
    Barre->setMaximumHeight(16);
    Barre->hide();
    OKBtn = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setDefault(true);
    AnnulerBtn = named(new QPushButton(QStringLiteral("Annuler"), this), "AnnulerBtn");
    for (QPushButton* b : {OKBtn, AnnulerBtn})
        b->setMinimumWidth(75);

    auto* status = new QVBoxLayout;
    status->addWidget(Info);
    status->addWidget(Barre);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(status, 1);
    bottom->addWidget(OKBtn);
    bottom->addWidget(AnnulerBtn);

    auto* main = new QVBoxLayout(this);
    main->addWidget(CBUseFTP);
    main->addWidget(cbUseIsFTP);
    main->addWidget(GB);
    main->addWidget(lblTransport);
    main->addLayout(bottom);
    setMinimumWidth(404);

    connect(OKBtn, &QPushButton::clicked, this, &TBoiteFTP::OKBtnClick);
    connect(AnnulerBtn, &QPushButton::clicked, this, &TBoiteFTP::AnnulerBtnClick);
    connect(Serveur, &QLineEdit::editingFinished, this, &TBoiteFTP::ServeurExit);
    connect(Fichier, &QLineEdit::editingFinished, this, &TBoiteFTP::FichierExit);
    connect(CBUseFTP, &QCheckBox::clicked, this, &TBoiteFTP::UpdateFieldStates);
    connect(Serveur, &QLineEdit::textChanged, this, &TBoiteFTP::updateTransportLabel);
    connect(Port, &QSpinBox::valueChanged, this, &TBoiteFTP::updateTransportLabel);
    connect(cbUseIsFTP, &QCheckBox::clicked, this, &TBoiteFTP::cbUseIsFTPClick);
    const QStringList network = networkSettingsCommand();
    OptionsNet->setVisible(!network.isEmpty());
    connect(OptionsNet, &QPushButton::clicked, this, [network] {
        if (!network.isEmpty())
            QProcess::startDetached(network.first(), network.mid(1));
    });
}

TBoiteFTP::~TBoiteFTP()
{
    if (RunningTransfer) {
        // The worker ends at its next check and frees itself.
        disconnect(RunningTransfer, nullptr, this, nullptr);
        RunningTransfer->requestInterruption();
        RunningTransfer->wait();
    }
}

void TBoiteFTP::updateTitle()
{
    if (SyncParametersMode)
        setWindowTitle(Msg(QStringLiteral("FTPSync")));
    else
        setWindowTitle(Msg(TransferData.isEmpty() ? QStringLiteral("FTPOpen") : QStringLiteral("FTPSave")));
}

void TBoiteFTP::showEvent(QShowEvent* event)
{
    updateTitle();
    QDialog::showEvent(event);
}

void TBoiteFTP::updateTransportLabel()
{
    TDoc target;
    target.ServerName = Serveur->text().trimmed();
    target.PortNumber = Port->value();
    lblTransport->setVisible(!target.ServerName.isEmpty());
    if (!target.ServerName.isEmpty())
        lblTransport->setText(
            FillPlaceholders(Msg(QStringLiteral("FTPTransport")), {TransportOf(target), IdentityOf(target)}));
}

void TBoiteFTP::UpdateFieldStates()
{
    const bool enabled = CBUseFTP->isChecked() && !cbUseIsFTP->isChecked();
    for (QWidget* w : GB->findChildren<QWidget*>())
        w->setEnabled(enabled);
    cbUseIsFTP->setEnabled(CBUseFTP->isEnabled() && MarkedEntry.has_value());
}

void TBoiteFTP::fillFromEntry()
{
    const FtpEntryAddress address = ParseFtpEntry(MarkedEntry->webAddress);
    Serveur->setText(address.server);
    Fichier->setText(address.path);
    Port->setValue(address.port);
    if (address.passive)
        cbPassif->setChecked(true);
    Login->setText(MarkedEntry->login);
    Pass->setText(MarkedEntry->password);
}

void TBoiteFTP::cbUseIsFTPClick()
{
    UpdateFieldStates();
    if (cbUseIsFTP->isChecked() && MarkedEntry)
        fillFromEntry();
}

void TBoiteFTP::ServeurExit()
{
    const QString cleaned = CleanServerField(Serveur->text());
    if (cleaned != Serveur->text())
        Serveur->setText(cleaned);
}

void TBoiteFTP::FichierExit()
{
    const QString cleaned = CleanFileField(Fichier->text());
    if (cleaned != Fichier->text())
        Fichier->setText(cleaned);
}

TFileFTP::Parameters TBoiteFTP::fieldParameters() const
{
    TFileFTP::Parameters p;
    p.ServerName = Serveur->text();
    p.PortNumber = Port->value();
    p.PassiveMode = cbPassif->isChecked();
    p.RemotePath = Fichier->text();
    p.UserName = Login->text();
    p.UserPassword = Pass->text();
    AddPinnedCertificate(p);
    return p;
}

void TBoiteFTP::setTransferFieldsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{Serveur, Port, cbPassif, Fichier, Login, Pass, OKBtn})
        w->setEnabled(enabled);
}

bool TBoiteFTP::ShowForTransfer()
{
    CBUseFTP->setChecked(true);
    CBUseFTP->setEnabled(true);
    cbUseIsFTP->setChecked(false);
    MarkedEntry.reset();
    UpdateFieldStates();
    CBUseFTP->hide();
    cbUseIsFTP->hide();
    SyncParametersMode = false;
    Barre->hide();
    Info->hide();

    FtpIniSection section;
    section.read(IniFile(settingsFilePath()));
    Serveur->setText(section.Serveur);
    Port->setValue(section.Port);
    cbPassif->setChecked(section.Passif);
    Fichier->setText(section.Fichier);
    // Credentials stored under another server or file come back as garbage, never as an error.
    Login->setText(section.Login);
    Pass->setText(section.Pass);

    const bool ok = runModal() == QDialog::Accepted;
    Pass->clear();
    return ok;
}

bool TBoiteFTP::EditSyncParameters(const TFeuille* marked, TDoc& doc, bool silent, bool* changed)
{
    SyncParametersMode = true;
    CBUseFTP->show();
    cbUseIsFTP->show();
    CBUseFTP->setEnabled(true);
    Barre->hide();
    Info->hide();

    CBUseFTP->setChecked(doc.SyncOn);
    if (marked)
        MarkedEntry = MarkedFields{marked->WebAddress, marked->Login, marked->Password};
    else
        MarkedEntry.reset();
    // Without a marked entry there is nothing to use: the box is cleared rather than left checked
    // and disabled, which would lock the fields.
    cbUseIsFTP->setChecked(doc.UseFtpEntry && MarkedEntry);
    UpdateFieldStates();
    if (cbUseIsFTP->isChecked()) {
        fillFromEntry();
    } else {
        Serveur->setText(doc.ServerName);
        Port->setValue(doc.PortNumber <= 0 ? 21 : doc.PortNumber);
        cbPassif->setChecked(doc.PassiveMode);
        Fichier->setText(doc.RemotePath);
        Login->setText(doc.UserName);
        Pass->setText(doc.UserPassword);
    }
    if (silent)
        return false;

    struct Fields
    {
        bool use, useEntry, passive;
        QString server, file, login, pass;
        int port;
        bool operator==(const Fields& o) const
        {
            return use == o.use && useEntry == o.useEntry && passive == o.passive && server == o.server &&
                   file == o.file && login == o.login && pass == o.pass && port == o.port;
        }
    };
    const auto fields = [this] {
        return Fields{CBUseFTP->isChecked(), cbUseIsFTP->isChecked(), cbPassif->isChecked(), Serveur->text(),
                      Fichier->text(),       Login->text(),           Pass->text(),          Port->value()};
    };
    const Fields before = fields();
    const bool ok = runModal() == QDialog::Accepted;
    if (ok) {
        const bool switchesChanged = doc.SyncOn != CBUseFTP->isChecked() ||
                                     doc.UseFtpEntry != (cbUseIsFTP->isEnabled() && cbUseIsFTP->isChecked());
        if (changed)
            *changed = !(fields() == before) || switchesChanged;
        doc.SyncOn = CBUseFTP->isChecked();
        doc.UseFtpEntry = cbUseIsFTP->isEnabled() && cbUseIsFTP->isChecked();
        doc.ServerName = Serveur->text();
        doc.PortNumber = Port->value();
        doc.PassiveMode = cbPassif->isChecked();
        doc.RemotePath = Fichier->text();
        doc.UserName = Login->text();
        doc.UserPassword = Pass->text();
    }
    Pass->clear();
    return ok;
}

void TBoiteFTP::prepareSyncTransfer(const TDoc& doc, const TFeuille* ftpEntry)
{
    TDoc parameters = doc;
    EditSyncParameters(ftpEntry, parameters, true);
    SyncParametersMode = false;
    OKBtn->setEnabled(false);
    CBUseFTP->setChecked(true);
    CBUseFTP->setEnabled(false);
    UpdateFieldStates();
}

void TBoiteFTP::finishSyncTransfer()
{
    m_gate = nullptr;
    m_checking = false;
    TransferData.clear();
    Pass->clear();
    OKBtn->setEnabled(true);
    CBUseFTP->setEnabled(true);
    UpdateFieldStates();
}

int TBoiteFTP::UploadSyncCopy(const TDoc& doc, const TFeuille* ftpEntry, const QByteArray& enciphered,
                              const std::function<UploadGate(const TFileFTP&)>& gate)
{
    prepareSyncTransfer(doc, ftpEntry);
    int result = QDialog::Rejected;
    if (WinInetAvailable()) {
        TransferData = enciphered;
        m_gate = gate;
        m_checking = bool(gate);
        beginTransfer();
        result = runModal();
    } else {
        ShowMsg(Msg(QStringLiteral("Wininet")), MsgKind::Error, MsgOK);
    }
    finishSyncTransfer();
    return result;
}

QByteArray TBoiteFTP::DownloadSyncCopy(const TDoc& doc, const TFeuille* ftpEntry)
{
    prepareSyncTransfer(doc, ftpEntry);
    QByteArray out;
    if (WinInetAvailable()) {
        TransferData.clear();
        beginTransfer();
        if (runModal() == QDialog::Accepted)
            out = std::exchange(TransferData, QByteArray());
    } else {
        ShowMsg(Msg(QStringLiteral("Wininet")), MsgKind::Error, MsgOK);
    }
    finishSyncTransfer();
    return out;
}

void TBoiteFTP::beginTransfer()
{
    Barre->setValue(0);
    Barre->show();
    Info->clear();
    Info->show();
    startTransfer();
}

void TBoiteFTP::startTransfer()
{
    setTransferFieldsEnabled(false);
    Barre->setRange(0, 0);
    Barre->setValue(0);
    // Before an upload of the synchronised copy, the beginning of the copy on the server.
    TFileFTP* worker = m_checking && !TransferData.isEmpty()
                           ? TFileFTP::CreateForHead(fieldParameters())
                           : TFileFTP::CreateForDialog(fieldParameters(), TransferData.isEmpty(), TransferData);
    RunningTransfer = worker;
    m_cancelRequested = false;
    connect(worker, &TFileFTP::statusChanged, Info, [this](const QString& text) {
        if (!m_cancelRequested) // "Cancelling..." stays until the worker has stopped
            Info->setText(text);
    });
    connect(worker, &TFileFTP::progressMaximum, Barre, [this](int maximum) { Barre->setRange(0, maximum); });
    connect(worker, &TFileFTP::progressChanged, Barre, &QProgressBar::setValue);
    connect(worker, &TFileFTP::completed, this, &TBoiteFTP::TransferDone);
    worker->start();
}

void TBoiteFTP::OKBtnClick()
{
    if (RunningTransfer)
        return;
    // The fields are cleaned when the focus leaves them, which pressing OK does.
    ServeurExit();
    FichierExit();
    if (SyncParametersMode) {
        if (closeWithOkAllowed())
            done(QDialog::Accepted);
        return;
    }
    if (!WinInetAvailable()) {
        ShowMsg(Msg(QStringLiteral("Wininet")), MsgKind::Error, MsgOK);
        return;
    }
    if (Serveur->text().isEmpty() || Fichier->text().isEmpty()) {
        (Serveur->text().isEmpty() ? Serveur : Fichier)->setFocus();
        ShowMsg(Msg(QStringLiteral("FTPVide")), MsgKind::Error, MsgOK);
        return;
    }

    IniFile ini(settingsFilePath());
    FtpIniSection section;
    section.Serveur = Serveur->text();
    section.Port = Port->value();
    section.Passif = cbPassif->isChecked();
    section.Fichier = Fichier->text();
    section.Login = Login->text();
    section.Pass = Pass->text();
    section.write(ini);
    QString error;
    if (!ini.save(&error))
        ShowMsg(error, MsgKind::Error, MsgOK);

    m_checking = bool(m_gate);
    beginTransfer();
}

void TBoiteFTP::TransferDone(TFileFTP* worker)
{
    if (worker != RunningTransfer)
        return;
    RunningTransfer = nullptr;
    Barre->hide();
    Info->hide();
    setTransferFieldsEnabled(true);
    if (m_cancelRequested) {
        TransferData.clear();
        done(QDialog::Rejected);
    } else if (!worker->ErrorText().isEmpty()) {
        const TrustProblem& problem = worker->trustProblem();
        if (trustquestion::canBeAsked(problem)) {
            // Asked with what the user must compare; trusted only on an explicit Yes, then the
            // same transfer starts again.
            if (AskTrust(problem))
                beginTransfer();
        } else {
            ShowMsg(worker->ErrorText(), MsgKind::Error, MsgOK);
        }
    } else if (worker->isHead()) {
        m_checking = false;
        switch (m_gate ? m_gate(*worker) : UploadGate::Upload) {
        case UploadGate::Upload:
            beginTransfer();
            break;
        case UploadGate::Merge:
            done(MergeRequested);
            break;
        case UploadGate::Cancel:
            done(QDialog::Rejected);
            break;
        }
    } else if (worker->replacedMeanwhile()) {
        // Not uploaded after all: another computer's copy took the place at the same moment.
        ShowMsg(Msg(QStringLiteral("SyncMemeMoment")), MsgKind::Warning, MsgOK);
    } else {
        if (worker->IsDownload())
            TransferData = worker->takeData();
        done(QDialog::Accepted);
    }
    emit transferEnded();
}

void TBoiteFTP::AnnulerBtnClick()
{
    if (SyncParametersMode) {
        done(QDialog::Rejected);
        return;
    }
    Info->setText(Msg(QStringLiteral("CancelFTP")));
    if (RunningTransfer) {
        m_cancelRequested = true;
        RunningTransfer->requestInterruption();
    } else
        done(QDialog::Rejected);
}

void TBoiteFTP::reject()
{
    // Escape and the close box act as the Annuler button.
    AnnulerBtnClick();
}

bool TBoiteFTP::closeWithOkAllowed()
{
    if (!CBUseFTP->isChecked() || (!Serveur->text().isEmpty() && !Fichier->text().isEmpty()))
        return true;
    (Serveur->text().isEmpty() ? Serveur : Fichier)->setFocus();
    ShowMsg(Msg(QStringLiteral("FTPVide")), MsgKind::Error, MsgOK);
    return false;
}

int TBoiteFTP::runModal()
{
    updateTitle();
    // Every time it opens, Enter means OK: after a transfer the focus may have been left on Cancel,
    // which would then take Enter for itself.
    OKBtn->setDefault(true);
    AnnulerBtn->setDefault(false);
    for (QWidget* field : std::initializer_list<QWidget*>{Serveur, Fichier, Login, Pass}) {
        if (field->isEnabled()) {
            field->setFocus();
            break;
        }
    }
    if (!ModalSeam::active()) {
        PlaceDialogOverOwner(this);
        return exec();
    }
    // Scripted: each answer is a press of OK or Annuler; a transfer is waited for in between.
    bool closed = false;
    int result = QDialog::Rejected;
    QMetaObject::Connection finished = connect(this, &QDialog::finished, this, [&](int r) {
        closed = true;
        result = r;
    });
    // A transfer may be followed by another without a press (after a trust question, or once the
    // copy on the server was checked): waited for as well.
    const auto waitForTransfer = [this] {
        while (RunningTransfer) {
            QEventLoop loop;
            connect(this, &TBoiteFTP::transferEnded, &loop, &QEventLoop::quit);
            loop.exec();
        }
    };
    while (true) {
        waitForTransfer();
        if (closed)
            break;
        const QVariant reply = ModalSeam::ask(
            {QStringLiteral("BoiteFTP"), windowTitle(), SyncParametersMode ? 1 : 0, 0}, QStringLiteral("Cancel"));
        QString answer = reply.toString();
        if (reply.typeId() == QMetaType::QVariantMap) {
            // What the user types before pressing the button: control name -> value.
            const QVariantMap typed = reply.toMap();
            answer = typed.value(QStringLiteral("button"), QStringLiteral("Cancel")).toString();
            for (auto it = typed.begin(); it != typed.end(); ++it) {
                if (auto* edit = findChild<QLineEdit*>(it.key()))
                    edit->setText(it.value().toString());
                else if (auto* spin = findChild<QSpinBox*>(it.key()))
                    spin->setValue(it.value().toInt());
                else if (auto* box = findChild<QCheckBox*>(it.key());
                         box && box->isEnabled() && box->isChecked() != it.value().toBool())
                    box->click();
            }
        }
        if (answer.startsWith(QLatin1String("OK"))) {
            OKBtnClick();
            if (answer.endsWith(QLatin1String("+Cancel")))
                AnnulerBtnClick();
        } else {
            AnnulerBtnClick();
        }
    }
    disconnect(finished);
    return result;
}
