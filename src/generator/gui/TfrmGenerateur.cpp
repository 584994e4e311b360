#include "generator/gui/TfrmGenerateur.h"

#include "generator/PasswordGenerator.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValidator>

namespace {

// The custom characters field takes only characters a document can store; others are dropped
// as they are typed or pasted.
class StorableValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        const QString kept = generator::StorableCharacters(input);
        if (kept.size() != input.size()) {
            pos = int(generator::StorableCharacters(input.left(pos)).size());
            input = kept;
        }
        return Acceptable;
    }
    void fixup(QString& input) const override { input = generator::StorableCharacters(input); }
};

QCheckBox* checkBox(const char* name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QLabel* label(const char* name, const QString& caption, QWidget* parent)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

TfrmGenerateur::TfrmGenerateur(QWidget* parent) : QDialog(parent)
{
    // The generator's random state is seeded once, when this window is first made.
    generator::rng::seedOnce();

    setObjectName(QStringLiteral("frmGenerateur"));
    setWindowTitle(QStringLiteral("Génération de mot de passe"));

    m_group = new QGroupBox(QStringLiteral(" Caractères autorisés "), this);
    m_group->setObjectName(QStringLiteral("GroupBox1"));
    m_cbMaj = checkBox("cbMaj", QStringLiteral("Lettres majuscules"), m_group);
    m_cbMin = checkBox("cbMin", QStringLiteral("Lettres minuscules"), m_group);
    m_cbAcc = checkBox("cbAcc", QStringLiteral("Caractères accentués"), m_group);
    m_cbSpe = checkBox("cbSpe", QStringLiteral("Caractères spéciaux"), m_group);
    m_cbNum = checkBox("cbNum", QStringLiteral("Chiffres"), m_group);
    m_cbPerso = checkBox("cbPerso", QStringLiteral("Personnalisés :"), m_group);
    m_edPerso = new QLineEdit(m_group);
    m_edPerso->setObjectName(QStringLiteral("edPerso"));
    m_edPerso->setMaxLength(255);
    m_edPerso->setValidator(new StorableValidator(m_edPerso));
    m_cbMaj->setChecked(true);
    m_cbMin->setChecked(true);
    m_cbNum->setChecked(true);

    auto* groupLayout = new QVBoxLayout(m_group);
    for (QCheckBox* box : {m_cbMaj, m_cbMin, m_cbAcc, m_cbSpe, m_cbNum})
        groupLayout->addWidget(box);
    auto* persoRow = new QHBoxLayout;
    persoRow->addWidget(m_cbPerso);
    persoRow->addWidget(m_edPerso, 1);
    groupLayout->addLayout(persoRow);

    auto* previewLabel = label("Label1", QStringLiteral("Aperçu :"), this);
    m_preview = new QPlainTextEdit(this);
    m_preview->setObjectName(QStringLiteral("Apercu"));
    m_preview->setReadOnly(true);
    m_preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    previewLabel->setBuddy(m_preview);
    auto* previewColumn = new QVBoxLayout;
    previewColumn->addWidget(previewLabel);
    previewColumn->addWidget(m_preview, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_group);
    top->addLayout(previewColumn, 1);

    auto* lengthLabel = label("Label2", QStringLiteral("Longueur :"), this);
    m_seLong = new QSpinBox(this);
    m_seLong->setObjectName(QStringLiteral("seLong"));
    m_seLong->setRange(1, 255);
    m_seLong->setValue(10);
    lengthLabel->setBuddy(m_seLong);
    m_cb1lettre = checkBox("cb1lettre", QStringLiteral("Forcer une lettre comme premier caractère"), this);
    auto* lengthRow = new QHBoxLayout;
    lengthRow->addWidget(lengthLabel);
    lengthRow->addWidget(m_seLong);
    lengthRow->addWidget(m_cb1lettre, 1);

    m_btnGenerer = new QPushButton(QStringLiteral("Générer"), this);
    m_btnGenerer->setObjectName(QStringLiteral("btnGenerer"));

    auto* resultLabel = label("Label3", QStringLiteral("Résultat :"), this);
    m_edMdp = new QLineEdit(this);
    m_edMdp->setObjectName(QStringLiteral("edMdp"));
    QFont bold = m_edMdp->font();
    bold.setBold(true);
    m_edMdp->setFont(bold);
    m_edMdp->setMaxLength(m_seLong->value());
    resultLabel->setBuddy(m_edMdp);

    auto* scoreLabel = label("Label4", QStringLiteral("Robustesse :"), this);
    m_pbScore = new QProgressBar(this);
    m_pbScore->setObjectName(QStringLiteral("pbScore"));
    m_pbScore->setRange(0, 100);
    m_pbScore->setValue(0);
    m_pbScore->setTextVisible(false);
    // The bar is drawn as an alarm, as themed systems draw a bar in its error state.
    QPalette alarm = m_pbScore->palette();
    alarm.setColor(QPalette::Highlight, QColor(0xD0, 0x20, 0x20));
    m_pbScore->setPalette(alarm);

    auto* grid = new QGridLayout;
    grid->addWidget(resultLabel, 0, 0);
    grid->addWidget(m_edMdp, 0, 1);
    grid->addWidget(scoreLabel, 1, 0);
    grid->addWidget(m_pbScore, 1, 1);

    m_btnOK = new QPushButton(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnAnnuler = new QPushButton(QStringLiteral("Annuler"), this);
    m_btnAnnuler->setObjectName(QStringLiteral("btnAnnuler"));
    // Enter generates: only btnGenerer is a default button.
    m_btnOK->setAutoDefault(false);
    m_btnAnnuler->setAutoDefault(false);
    m_btnGenerer->setAutoDefault(false);
    m_btnGenerer->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnAnnuler);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lengthRow);
    layout->addWidget(m_btnGenerer, 0, Qt::AlignLeft);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    for (QCheckBox* box : {m_cbMaj, m_cbMin, m_cbAcc, m_cbSpe, m_cbNum, m_cbPerso, m_cb1lettre})
        connect(box, &QCheckBox::clicked, this, [this] { BuildPool(); });
    connect(m_edPerso, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            BuildPool();
    });
    connect(m_seLong, &QSpinBox::valueChanged, this, &TfrmGenerateur::lengthChanged);
    connect(m_btnGenerer, &QPushButton::clicked, this, &TfrmGenerateur::generateIntoResult);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnAnnuler, &QPushButton::clicked, this, &QDialog::reject);

    BuildPool();
}

void TfrmGenerateur::lengthChanged(int length)
{
    m_edMdp->setMaxLength(length);
    if (!m_loading)
        generateIntoResult();
}

void TfrmGenerateur::generateIntoResult()
{
    m_edMdp->setText(GeneratePassword());
}

void TfrmGenerateur::BuildPool()
{
    const bool custom = m_cbPerso->isChecked();
    m_edPerso->setEnabled(custom);
    QPalette palette = m_edPerso->palette();
    palette.setColor(QPalette::Base,
                     custom ? this->palette().color(QPalette::Base) : this->palette().color(QPalette::Button));
    m_edPerso->setPalette(palette);

    generator::PoolOptions options;
    options.capitals = m_cbMaj->isChecked();
    options.small = m_cbMin->isChecked();
    options.accented = m_cbAcc->isChecked();
    options.special = m_cbSpe->isChecked();
    options.digits = m_cbNum->isChecked();
    options.custom = custom;
    options.customChars = m_edPerso->text();

    m_preview->setPlainText(generator::PreviewLines(options).join(u'\n'));
    m_pool = generator::CharPool(options);
    generateIntoResult();
}

QString TfrmGenerateur::GeneratePassword()
{
    if (m_pool.isEmpty())
        return QString();
    const QString password = generator::GeneratePassword(m_pool, m_seLong->value(), m_cb1lettre->isChecked());
    const double score = generator::PasswordScore(password);
    m_pbScore->setValue(generator::ScoreBarValue(score));
    m_pbScore->setToolTip(generator::ScoreHint(score));
    return password;
}

void TfrmGenerateur::loadFrom(const Settings& settings)
{
    m_loading = true;
    m_cbMaj->setChecked(settings.MAJ);
    m_cbMin->setChecked(settings.MIN);
    m_cbNum->setChecked(settings.NUM);
    m_cbAcc->setChecked(settings.ACC);
    m_cbSpe->setChecked(settings.SPE);
    m_cbPerso->setChecked(settings.Other);
    m_edPerso->setText(generator::StorableCharacters(settings.Chars));
    m_seLong->setValue(settings.Len); // the spin box keeps it within 1..255
    m_cb1lettre->setChecked(settings.First);
    m_loading = false;
    BuildPool();
}

void TfrmGenerateur::saveTo(Settings& settings) const
{
    settings.MAJ = m_cbMaj->isChecked();
    settings.MIN = m_cbMin->isChecked();
    settings.ACC = m_cbAcc->isChecked();
    settings.SPE = m_cbSpe->isChecked();
    settings.NUM = m_cbNum->isChecked();
    settings.Other = m_cbPerso->isChecked();
    settings.Chars = m_edPerso->text();
    settings.Len = m_seLong->value();
    settings.First = m_cb1lettre->isChecked();
}

bool TfrmGenerateur::execFor(Settings& settings)
{
    loadFrom(settings);
    emit opened();

    bool accepted = false;
    if (ModalSeam::active()) {
        ModalSeam::Shown question;
        question.dialog = QStringLiteral("Generateur");
        question.text = m_pool;
        const QVariant answer = ModalSeam::ask(question, QVariant(false));
        if (answer.typeId() == QMetaType::QString) {
            m_edMdp->setText(answer.toString());
            accepted = true;
        } else {
            accepted = answer.toBool();
        }
    } else {
        PlaceDialogOverOwner(this);
        accepted = exec() == QDialog::Accepted;
    }

    if (accepted)
        saveTo(settings);
    return accepted;
}

QString TfrmGenerateur::result() const
{
    return m_edMdp->text();
}
