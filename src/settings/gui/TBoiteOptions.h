#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The options dialog: four groups of preferences (options, updates, window layout, security)
// and the OK and Annuler buttons. Made once at start-up and shown modally by the main window.
class TBoiteOptions : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteOptions(QWidget* parent = nullptr);

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

    QPushButton* OKBtn = nullptr;
    QPushButton* AnnulerBtn = nullptr;
};
