#include "document/gui/TBoiteMetaPass.h"

#include "document/DocumentPath.h"
#include "document/gui/StorableTextGuard.h"
#include "lang/LangTable.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace {
QPointer<TBoiteMetaPass>& current()
{
    static QPointer<TBoiteMetaPass> dialog;
    return dialog;
}

constexpr int kClientWidth = 239;
// The dialog is 130 high in enter mode and 180 in choose mode, title bar and fixed border
// included; these take 28 pixels (a 22-pixel caption and a 3-pixel border above and below), the
// rest is the client area below the buttons.
constexpr int kFrameHeight = 28;
constexpr int kEnterHeight = 130 - kFrameHeight;
constexpr int kChooseHeight = 180 - kFrameHeight;
// Choose mode with the protection: the box and up to five lines of explanation go
// between the fields and the buttons.
constexpr int kProtectionExtra = 86;
} // namespace

TBoiteMetaPass::TBoiteMetaPass(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteMetaPass"));
    setWindowTitle(QStringLiteral("Méta mot de passe"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    LblFich = new QLabel(this);
    LblFich->setObjectName(QStringLiteral("LblFich"));
    LblFich->setGeometry(10, 10, 216, 17);

    EditPass = new QLineEdit(this);
    EditPass->setObjectName(QStringLiteral("EditPass"));
    EditPass->setGeometry(10, 30, 217, 20);

    Label2 = new QLabel(QStringLiteral("Confirmation :"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(10, 60, 216, 17);

    EditConfirm = new QLineEdit(this);
    EditConfirm->setObjectName(QStringLiteral("EditConfirm"));
    EditConfirm->setGeometry(10, 80, 217, 20);

    // The labels name the fields for screen readers.
    LblFich->setBuddy(EditPass);
    Label2->setBuddy(EditConfirm);
    for (QLineEdit* edit : {EditPass, EditConfirm}) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setMaxLength(MaxLength);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        // The meta password is keyed as Windows-1252 bytes: other characters would be lost.
        StorableTextGuard::install(edit);
        connect(edit, &QLineEdit::textChanged, this, &TBoiteMetaPass::updateOkButton);
    }

    cbFort = new QCheckBox(QStringLiteral("Protection renforcée"), this);
    cbFort->setObjectName(QStringLiteral("cbFort"));
    cbFort->setGeometry(10, 108, 217, 17);

    lblFort = new QLabel(this);
    lblFort->setObjectName(QStringLiteral("lblFort"));
    lblFort->setGeometry(10, 128, 217, 72);
    lblFort->setWordWrap(true);
    lblFort->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(QStringLiteral("Annuler"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    prepare(Enter, QString());
    current() = this;
}

TBoiteMetaPass::~TBoiteMetaPass()
{
    clearFields();
}

TBoiteMetaPass* TBoiteMetaPass::instance()
{
    return current().data();
}

void TBoiteMetaPass::prepare(Mode mode, const QString& path)
{
    m_mode = mode;
    clearFields();
    LblFich->setText(MetaPassQuestion(path));
    const bool choose = mode == Choose;
    setWindowTitle(Msg(choose ? QStringLiteral("ChangeMeta") : QStringLiteral("Meta")));
    Label2->setVisible(choose);
    EditConfirm->setVisible(choose);
    cbFort->setVisible(false);
    lblFort->setVisible(false);
    cbFort->setChecked(false);
    // As wide as the design, or as the title and the question need to be read whole.
    const int width = std::max(
        {kClientWidth, WidthForTitle(windowTitle()), LblFich->fontMetrics().horizontalAdvance(LblFich->text()) + 24});
    for (QWidget* w : std::initializer_list<QWidget*>{LblFich, EditPass, Label2, EditConfirm})
        w->setGeometry(10, w->y(), width - 22, w->height());
    const int buttonsTop = choose ? 120 : 70;
    OKBtn->setGeometry(width - 169, buttonsTop, 75, 25);
    CancelBtn->setGeometry(width - 89, buttonsTop, 75, 25);
    setFixedSize(width, choose ? kChooseHeight : kEnterHeight);
    updateOkButton();
}

void TBoiteMetaPass::prepareWithProtection(const QString& path, bool strong)
{
    prepare(Choose, path);
    cbFort->setChecked(strong);
    cbFort->setVisible(true);
    lblFort->setVisible(true);
    // As wide as prepare() made the dialog; the explanation wraps within it.
    const int width = this->width();
    cbFort->setGeometry(10, cbFort->y(), width - 22, cbFort->height());
    lblFort->setGeometry(10, lblFort->y(), width - 22, lblFort->height());
    const int buttonsTop = 120 + kProtectionExtra;
    OKBtn->move(OKBtn->x(), buttonsTop);
    CancelBtn->move(CancelBtn->x(), buttonsTop);
    setFixedSize(width, kChooseHeight + kProtectionExtra);
}

bool TBoiteMetaPass::strongChecked() const
{
    return cbFort->isChecked(); // prepare() clears it whenever the box is not offered
}

QString TBoiteMetaPass::password() const
{
    return EditPass->text();
}

void TBoiteMetaPass::clearFields()
{
    // QLineEdit keeps no undo history of a masked field, so clearing leaves no copy behind.
    EditPass->clear();
    EditConfirm->clear();
}

void TBoiteMetaPass::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    EditPass->setFocus(Qt::OtherFocusReason);
}

void TBoiteMetaPass::updateOkButton()
{
    const QString pass = EditPass->text();
    bool ok = !pass.isEmpty();
    if (m_mode == Choose)
        ok = ok && pass == EditConfirm->text();
    OKBtn->setEnabled(ok);
}

bool AskMetaPasswordAndProtection(QString& target, bool& strong, const QString& path)
{
    TBoiteMetaPass* dialog = TBoiteMetaPass::instance();
    if (dialog)
        dialog->prepareWithProtection(path, strong);
    if (ModalSeam::active()) {
        ModalSeam::Shown question;
        question.dialog = QStringLiteral("MetaPass");
        question.text = MetaPassQuestion(path);
        question.kind = static_cast<int>(TBoiteMetaPass::Choose);
        question.detail = strong ? QStringLiteral("strong") : QStringLiteral("compatible");
        const QVariant answer = ModalSeam::ask(question);
        if (!answer.isValid())
            return false;
        if (answer.typeId() == QMetaType::QVariantMap) {
            const QVariantMap map = answer.toMap();
            target = map.value(QStringLiteral("password")).toString();
            strong = map.value(QStringLiteral("strong"), strong).toBool();
        } else {
            target = answer.toString();
        }
        return true;
    }
    if (!dialog)
        return false;
    PlaceDialogOverOwner(dialog);
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (ok) {
        target = dialog->password();
        strong = dialog->strongChecked();
    }
    dialog->clearFields();
    return ok;
}

QString MetaPassQuestion(const QString& path)
{
    const QString name = path.isEmpty() ? Msg(QStringLiteral("Sans titre")) : FileNamePart(path);
    return Msg(QStringLiteral("Pass")) + QStringLiteral(" \"") + name + QStringLiteral("\" :");
}

bool AskMetaPassword(TBoiteMetaPass::Mode mode, QString& target, const QString& path)
{
    TBoiteMetaPass* dialog = TBoiteMetaPass::instance();
    if (dialog)
        dialog->prepare(mode, path);
    if (ModalSeam::active()) {
        const QVariant answer =
            ModalSeam::ask({QStringLiteral("MetaPass"), MetaPassQuestion(path), static_cast<int>(mode), 0});
        if (!answer.isValid())
            return false;
        target = answer.toString();
        return true;
    }
    if (!dialog)
        return false;
    PlaceDialogOverOwner(dialog);
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (ok)
        target = dialog->password();
    dialog->clearFields();
    return ok;
}
