#include "settings/gui/TBoiteOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace {
template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QSpinBox* minutesField(QWidget* parent, const char* name)
{
    auto* spin = named(new QSpinBox(parent), name);
    spin->setRange(1, 9999); // at most four digits
    spin->setValue(5);
    return spin;
}
} // namespace

TBoiteOptions::TBoiteOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    // " Options "
    GroupBox2 = named(new QGroupBox(QStringLiteral(" Options "), this), "GroupBox2");
    CBAutoHide = named(new QCheckBox(QStringLiteral("Cacher automatiquement le panneau"), GroupBox2), "CBAutoHide");
    Label1 = named(new QLabel(QStringLiteral("des informations complémentaires"), GroupBox2), "Label1");
    CBTray = named(new QCheckBox(QStringLiteral("Réduire en icone"), GroupBox2), "CBTray");
    CBMRU = named(new QCheckBox(QStringLiteral("Mémoriser les derniers fichiers ouvert"), GroupBox2), "CBMRU");
    CBAssocie =
        named(new QCheckBox(QStringLiteral("Associer les fichiers .pass avec Tresorin"), GroupBox2), "CBAssocie");
    cbOneInstance =
        named(new QCheckBox(QStringLiteral("Forcer une seule instance de Tresorin"), GroupBox2), "cbOneInstance");
    cbOneInstance->setToolTip(QStringLiteral("Si Tresorin est déjà lancé, la fenêtre s'affichera"));
    CBAutoSync = named(new QCheckBox(QStringLiteral("Synchronisation sans confirmation"), GroupBox2), "CBAutoSync");
    CBAutoSync->setToolTip(
        QStringLiteral("En cas de synchronisation FTP, ouvrir automatiquement le fichier le pus récent"));
    cbAutoCopy = named(new QCheckBox(QStringLiteral("Double-clic copie le texte"), GroupBox2), "cbAutoCopy");
    cbAutoCopy->setToolTip(QStringLiteral("Un double-clic sur un élément copie le texte dans le presse papier"));
    Label2 = named(new QLabel(QStringLiteral("Langue :"), GroupBox2), "Label2");
    CBLangue = named(new QComboBox(GroupBox2), "CBLangue");
    // The language names are written in their own language and never translated.
    CBLangue->addItems({QStringLiteral("Automatique"), QStringLiteral("Français"), QStringLiteral("English")});
    Label2->setBuddy(CBLangue);

    const int indent =
        style()->pixelMetric(QStyle::PM_IndicatorWidth) + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    auto* options = new QVBoxLayout(GroupBox2);
    options->setSpacing(4);
    options->addWidget(CBAutoHide);
    auto* secondLine = new QHBoxLayout;
    secondLine->addSpacing(indent);
    secondLine->addWidget(Label1);
    options->addLayout(secondLine);
    for (QCheckBox* box : {CBTray, CBMRU, CBAssocie, cbOneInstance, CBAutoSync, cbAutoCopy})
        options->addWidget(box);
    auto* language = new QHBoxLayout;
    language->addWidget(Label2);
    language->addWidget(CBLangue, 1);
    options->addLayout(language);
    options->addStretch(1);

    // " Mises à jour "
    GroupBox3 = named(new QGroupBox(QStringLiteral(" Mises à jour "), this), "GroupBox3");
    cbUseMaj = named(new QCheckBox(QStringLiteral("Activer la recherche automatique"), GroupBox3), "cbUseMaj");
    rbDay = named(new QRadioButton(QStringLiteral("Tous les jours"), GroupBox3), "rbDay");
    rbWeek = named(new QRadioButton(QStringLiteral("Toutes les semaines"), GroupBox3), "rbWeek");
    rbMounth = named(new QRadioButton(QStringLiteral("Tous les mois"), GroupBox3), "rbMounth");
    rbMounth->setChecked(true);
    auto* updates = new QVBoxLayout(GroupBox3);
    updates->setSpacing(4);
    updates->addWidget(cbUseMaj);
    for (QRadioButton* rb : {rbDay, rbWeek, rbMounth}) {
        auto* row = new QHBoxLayout;
        row->addSpacing(indent);
        row->addWidget(rb);
        updates->addLayout(row);
    }
    updates->addStretch(1);

    // " Positionnement "
    GroupBox1 = named(new QGroupBox(QStringLiteral(" Positionnement "), this), "GroupBox1");
    CBPosWin = named(new QCheckBox(QStringLiteral("Sauver la position de la fenêtre"), GroupBox1), "CBPosWin");
    CBTailleWin = named(new QCheckBox(QStringLiteral("Sauver la taille de la fenêtre"), GroupBox1), "CBTailleWin");
    CBCol = named(new QCheckBox(QStringLiteral("Sauver la taille et l'ordre de tri des colonnes"), GroupBox1), "CBCol");
    CBPanel = named(new QCheckBox(QStringLiteral("Sauver la taille des panneaux"), GroupBox1), "CBPanel");
    auto* layoutGroup = new QVBoxLayout(GroupBox1);
    layoutGroup->setSpacing(4);
    for (QCheckBox* box : {CBPosWin, CBTailleWin, CBCol, CBPanel})
        layoutGroup->addWidget(box);
    layoutGroup->addStretch(1);

    // " Sécurité "
    GroupBox4 = named(new QGroupBox(QStringLiteral(" Sécurité "), this), "GroupBox4");
    CBHidePwd = named(new QCheckBox(QStringLiteral("Cacher les mots de passe au démarrage"), GroupBox4), "CBHidePwd");
    cbIdleMain =
        named(new QCheckBox(QStringLiteral("Redemander le méta-mot de passe après une inactivité de :"), GroupBox4),
              "cbIdleMain");
    seIdleMain = minutesField(GroupBox4, "seIdleMain");
    Label3 = named(new QLabel(QStringLiteral("minutes"), GroupBox4), "Label3");
    cbIdleClipboard = named(
        new QCheckBox(QStringLiteral("Après une copie, effacer les mots de passe du presse-papier après :"), GroupBox4),
        "cbIdleClipboard");
    seIdleclipboard = minutesField(GroupBox4, "seIdleclipboard");
    Label4 = named(new QLabel(QStringLiteral("minutes"), GroupBox4), "Label4");
    auto* security = new QGridLayout(GroupBox4);
    security->setVerticalSpacing(4);
    security->addWidget(CBHidePwd, 0, 0, 1, 3);
    security->addWidget(cbIdleMain, 1, 0);
    security->addWidget(seIdleMain, 1, 1);
    security->addWidget(Label3, 1, 2);
    security->addWidget(cbIdleClipboard, 2, 0);
    security->addWidget(seIdleclipboard, 2, 1);
    security->addWidget(Label4, 2, 2);
    security->setColumnStretch(0, 1);

    OKBtn = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setDefault(true);
    AnnulerBtn = named(new QPushButton(QStringLiteral("Annuler"), this), "AnnulerBtn");
    for (QPushButton* b : {OKBtn, AnnulerBtn})
        b->setMinimumWidth(75);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(AnnulerBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* right = new QVBoxLayout;
    right->addWidget(GroupBox3);
    right->addWidget(GroupBox1);
    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox2, 1);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(AnnulerBtn);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(GroupBox4);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);
}
