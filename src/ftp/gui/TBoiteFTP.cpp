#include "ftp/gui/TBoiteFTP.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
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
    Port->setRange(1, 65535);
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
    main->addLayout(bottom);
    setMinimumWidth(404);
}
