#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The FTP parameters dialog: server, port, passive mode, remote file, login and password, the
// synchronisation switches above them, and a bottom strip with the transfer's status text, its
// progress bar and the OK and Annuler buttons. Made once at start-up and reused.
class TBoiteFTP : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteFTP(QWidget* parent = nullptr);

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
    QLabel* Info = nullptr;
    QProgressBar* Barre = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* AnnulerBtn = nullptr;
};
