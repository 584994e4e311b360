#include "settings/gui/TBoiteOptions.h"

#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"
#include "settings/FileAssociation.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QBuffer>
#include <QEvent>
#include <QIcon>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

const QString TBoiteOptions::AssociationError = QStringLiteral("Erreur d'écriture dans la base de registre");
bool TBoiteOptions::RefreshDesktopCaches = true;

namespace {
const QString kExtension = QStringLiteral("pass");

// The document icon for the association: the program's icon, as PNG; empty without one.
QByteArray documentIconPng()
{
    const QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.pixmap(48, 48).save(&buffer, "PNG");
    return png;
}

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
    lblAutoType = named(new QLabel(QStringLiteral("Raccourci de la saisie automatique :"), GroupBox4), "lblAutoType");
    lblAutoType->setToolTip(QStringLiteral(
        "Ces touches saisissent l'entrée qui correspond à la fenêtre active, dans n'importe quel programme"));
    edAutoType = named(new QKeySequenceEdit(GroupBox4), "edAutoType");
    edAutoType->setClearButtonEnabled(true);
    lblAutoType->setBuddy(edAutoType);
    auto* security = new QGridLayout(GroupBox4);
    security->setVerticalSpacing(4);
    security->addWidget(CBHidePwd, 0, 0, 1, 3);
    security->addWidget(cbIdleMain, 1, 0);
    security->addWidget(seIdleMain, 1, 1);
    security->addWidget(Label3, 1, 2);
    security->addWidget(cbIdleClipboard, 2, 0);
    security->addWidget(seIdleclipboard, 2, 1);
    security->addWidget(Label4, 2, 2);
    security->addWidget(lblAutoType, 3, 0);
    security->addWidget(edAutoType, 3, 1, 1, 2);
    security->setColumnStretch(0, 1);

    OKBtn = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setDefault(true);
    AnnulerBtn = named(new QPushButton(QStringLiteral("Annuler"), this), "AnnulerBtn");
    for (QPushButton* b : {OKBtn, AnnulerBtn})
        b->setMinimumWidth(75);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        writeAssociation();
        accept();
    });
    connect(AnnulerBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbUseMaj, &QCheckBox::toggled, this, [this](bool on) {
        for (QRadioButton* rb : {rbDay, rbWeek, rbMounth})
            rb->setEnabled(on);
    });
    connect(cbIdleMain, &QCheckBox::toggled, seIdleMain, &QWidget::setEnabled);
    connect(cbIdleClipboard, &QCheckBox::toggled, seIdleclipboard, &QWidget::setEnabled);

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

QString TBoiteOptions::executablePath() const
{
    return m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : m_executablePath;
}

void TBoiteOptions::loadFrom(const Settings& settings, const QLocale& locale)
{
    CBAutoHide->setChecked(settings.AutoHide);
    CBTray->setChecked(settings.Tray);
    CBMRU->setChecked(settings.Use);
    CBHidePwd->setChecked(settings.HidePass);
    CBAutoSync->setChecked(settings.AutoSync);
    cbAutoCopy->setChecked(settings.AutoCopy);

    if (settings.Langue.isEmpty())
        CBLangue->setCurrentIndex(0);
    else if (settings.Langue == QLatin1String("FR"))
        CBLangue->setCurrentIndex(1);
    else
        CBLangue->setCurrentIndex(2);

    CBPosWin->setChecked(settings.Pos);
    CBTailleWin->setChecked(settings.Size);
    CBCol->setChecked(settings.Col);
    CBPanel->setChecked(settings.Panel);

    const int check = settings.AutoCheck;
    const bool automatic = check >= 1 && check <= 3;
    cbUseMaj->setChecked(automatic);
    rbDay->setChecked(check == 1);
    rbWeek->setChecked(check == 2);
    rbMounth->setChecked(check == 3 || !automatic);
    for (QRadioButton* rb : {rbDay, rbWeek, rbMounth})
        rb->setEnabled(automatic);

    const QDateTime last = settings.LastCheck;
    GroupBox3->setToolTip(Msg(QStringLiteral("LastCheck")) + locale.toString(last.date(), QLocale::ShortFormat) + u' ' +
                          locale.toString(last.time(), QLocale::LongFormat));

    cbOneInstance->setChecked(settings.OneInstance);
    cbIdleMain->setChecked(settings.IdleMain);
    seIdleMain->setValue(settings.MainMin);
    seIdleMain->setEnabled(settings.IdleMain);
    cbIdleClipboard->setChecked(settings.Clipboard);
    seIdleclipboard->setValue(settings.ClipboardMin);
    seIdleclipboard->setEnabled(settings.Clipboard);
    edAutoType->setKeySequence(QKeySequence::fromString(settings.AutoTypeShortcut, QKeySequence::PortableText));
}

void TBoiteOptions::saveTo(Settings& settings) const
{
    settings.AutoHide = CBAutoHide->isChecked();
    settings.AutoSync = CBAutoSync->isChecked();
    settings.AutoCopy = cbAutoCopy->isChecked();
    settings.Tray = CBTray->isChecked();
    settings.Use = CBMRU->isChecked();
    settings.Pos = CBPosWin->isChecked();
    settings.Size = CBTailleWin->isChecked();
    settings.Col = CBCol->isChecked();
    settings.Panel = CBPanel->isChecked();
    settings.HidePass = CBHidePwd->isChecked();
    settings.OneInstance = cbOneInstance->isChecked();
    if (!cbUseMaj->isChecked())
        settings.AutoCheck = 0;
    else
        settings.AutoCheck = rbDay->isChecked() ? 1 : rbWeek->isChecked() ? 2 : rbMounth->isChecked() ? 3 : 0;
    settings.IdleMain = cbIdleMain->isChecked();
    settings.MainMin = seIdleMain->value();
    settings.Clipboard = cbIdleClipboard->isChecked();
    settings.ClipboardMin = seIdleclipboard->value();
    // One chord: a global shortcut is one press.
    const QKeySequence shortcut = edAutoType->keySequence();
    settings.AutoTypeShortcut =
        shortcut.isEmpty() ? QString() : QKeySequence(shortcut[0]).toString(QKeySequence::PortableText);
    static const char* const codes[] = {"", "FR", "US"};
    settings.Langue = QString::fromLatin1(codes[qBound(0, CBLangue->currentIndex(), 2)]);
}

void TBoiteOptions::readAssociation()
{
    m_assocInitial = association::IsAssociated(kExtension, executablePath());
    CBAssocie->setChecked(m_assocInitial);
}

void TBoiteOptions::writeAssociation()
{
    const bool wanted = CBAssocie->isChecked();
    if (wanted == m_assocInitial)
        return;
    if (wanted) {
        const QStringList failures = association::RegisterAssociation(
            kExtension, executablePath(), QStringLiteral("Document Tresorin"), QStringLiteral("1"), documentIconPng());
        for (const QString& failure : failures)
            ShowMsg(AssociationError + QStringLiteral("\r\n\r\n") + failure, MsgKind::Error, MsgOK, this);
    } else {
        QString failure;
        if (!association::UnregisterAssociation(kExtension, &failure))
            ShowMsg(AssociationError + QStringLiteral("\r\n\r\n") + failure, MsgKind::Error, MsgOK, this);
    }
    if (RefreshDesktopCaches)
        association::RefreshDesktopCaches();
}

bool TBoiteOptions::execFor(Settings& settings)
{
    loadFrom(settings);
    readAssociation();
    emit opened();

    bool accepted = false;
    if (ModalSeam::active()) {
        ModalSeam::Shown question;
        question.dialog = QStringLiteral("Options");
        accepted = ModalSeam::ask(question, QVariant(false)).toBool();
        if (accepted)
            writeAssociation();
    } else {
        PlaceDialogOverOwner(this);
        accepted = exec() == QDialog::Accepted;
    }
    if (accepted)
        saveTo(settings);
    return accepted;
}

bool TBoiteOptions::event(QEvent* event)
{
    // Another program may have changed the association while the user was away.
    if (event->type() == QEvent::WindowActivate)
        readAssociation();
    return QDialog::event(event);
}
