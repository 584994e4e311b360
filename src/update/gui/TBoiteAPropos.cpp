#include "update/gui/TBoiteAPropos.h"

#include "ProductInfo.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/SystemVersion.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"
#include "platform/gui/OpenLink.h"
#include "platform/gui/Sound.h"
#include "update/ProgramVersion.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

// Outside any namespace, as the resource system asks.
static void loadReleaseNotesResource()
{
    Q_INIT_RESOURCE(releasenotes);
}

namespace {
template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A small safe with a keyhole: the program's emblem for the about box.
QPixmap logoPixmap(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(size * 0.08, size * 0.08, size * 0.84, size * 0.84);
    QLinearGradient g(body.topLeft(), body.bottomRight());
    g.setColorAt(0, QColor(58, 96, 150));
    g.setColorAt(1, QColor(24, 48, 86));
    p.setPen(QPen(QColor(16, 32, 60), size / 32.0));
    p.setBrush(g);
    p.drawRoundedRect(body, size * 0.12, size * 0.12);
    p.setBrush(QColor(226, 190, 90));
    p.setPen(Qt::NoPen);
    const QPointF c(size * 0.5, size * 0.44);
    p.drawEllipse(c, size * 0.12, size * 0.12);
    QPainterPath slot;
    slot.moveTo(c.x() - size * 0.06, c.y());
    slot.lineTo(c.x() + size * 0.06, c.y());
    slot.lineTo(c.x() + size * 0.09, size * 0.72);
    slot.lineTo(c.x() - size * 0.09, size * 0.72);
    slot.closeSubpath();
    p.drawPath(slot);
    return pm;
}
} // namespace

TBoiteAPropos::TBoiteAPropos(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteAPropos"));
    setWindowTitle(QStringLiteral("A propos de Tresorin"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setMinimumSize(377, 356);
    setSizeGripEnabled(true);

    Onglet = named(new QTabWidget(this), "Onglet");
    pgAbout = named(new QWidget, "pgAbout");
    pgHisto = named(new QWidget, "pgHisto");
    pgAbout->setWindowTitle(QStringLiteral("A propos..."));
    pgHisto->setWindowTitle(QStringLiteral("Historique"));
    Onglet->addTab(pgAbout, pgAbout->windowTitle());
    Onglet->addTab(pgHisto, pgHisto->windowTitle());

    // The white card of the first tab keeps its size and stays centred when the box grows.
    Panel1 = named(new QFrame(pgAbout), "Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(white);
    Panel1->setFixedSize(341, 268);

    imgLogo = named(new QLabel(Panel1), "imgLogo");
    imgLogo->setPixmap(logoPixmap(64));
    imgLogo->setCursor(Qt::PointingHandCursor);
    imgLogo->setAlignment(Qt::AlignCenter);

    Image1 = named(new QLabel(Panel1), "Image1");
    Image1->setPixmap(logoPixmap(24));
    Label2 = named(new QLabel(QStringLiteral("Tresorin ..."), Panel1), "Label2");
    QFont bold = Label2->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    Label2->setFont(bold);

    LabelVersion = named(new QLabel(Panel1), "LabelVersion");
    LabelVersion->setAlignment(Qt::AlignCenter);

    Label7 =
        named(new QLabel(QStringLiteral("Tresorin est gratuit.\r\nUn don aide à le faire vivre."), Panel1), "Label7");
    Label7->setToolTip(QStringLiteral("Faire un don"));
    imgPaypal = named(new QLabel(Panel1), "imgPaypal");
    imgPaypal->setCursor(Qt::PointingHandCursor);

    LabelSite = named(new QLabel(QString::fromLatin1(kMakerSite), Panel1), "LabelSite");
    LabelSite->setAlignment(Qt::AlignCenter);
    LabelSite->setCursor(Qt::PointingHandCursor);
    QFont link = LabelSite->font();
    link.setUnderline(true);
    LabelSite->setFont(link);
    QPalette blue = LabelSite->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    LabelSite->setPalette(blue);

    auto* line = new QFrame(Panel1);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    Label5 = named(new QLabel(QStringLiteral("Orbelune"), Panel1), "Label5");
    Label5->setCursor(Qt::PointingHandCursor);
    QFont makerFont = Label5->font();
    makerFont.setBold(true);
    Label5->setFont(makerFont);
    QPalette darkRed = Label5->palette();
    darkRed.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label5->setPalette(darkRed);
    Label6 = named(new QLabel(QStringLiteral("Chiffrement Blowfish et SHA-1"), Panel1), "Label6");
    Label6->setCursor(Qt::PointingHandCursor);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* card = new QVBoxLayout(Panel1);
    card->setContentsMargins(12, 10, 12, 8);
    card->addWidget(imgLogo);
    auto* name = new QHBoxLayout;
    name->addStretch(1);
    name->addWidget(Image1);
    name->addWidget(Label2);
    name->addStretch(1);
    card->addLayout(name);
    card->addWidget(LabelVersion);
    card->addSpacing(6);
    auto* donation = new QHBoxLayout;
    donation->addWidget(Label7, 1);
    donation->addWidget(imgPaypal);
    card->addLayout(donation);
    card->addSpacing(6);
    card->addWidget(LabelSite);
    card->addStretch(1);
    card->addWidget(line);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label5);
    bottom->addStretch(1);
    bottom->addWidget(Label6);
    card->addLayout(bottom);

    auto* aboutLayout = new QGridLayout(pgAbout);
    aboutLayout->addWidget(Panel1, 0, 0, Qt::AlignCenter);

    reVersion = named(new QTextBrowser(pgHisto), "reVersion");
    reVersion->setReadOnly(true);
    reVersion->setLineWrapMode(QTextEdit::NoWrap);
    reVersion->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    reVersion->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* histoLayout = new QVBoxLayout(pgHisto);
    histoLayout->addWidget(reVersion);

    OKBtn = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setDefault(true);
    OKBtn->setMinimumWidth(75);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* main = new QVBoxLayout(this);
    main->addWidget(Onglet, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addStretch(1);
    main->addLayout(buttons);

    const VersionInfo version = CompiledVersion();
    m_programVersion = ProgramVersionText(version);
    LabelVersion->setText(VersionLine(version, FileDate(QCoreApplication::applicationFilePath())));

    loadReleaseNotesResource();
    QFile notes(QStringLiteral(":/update/VersionFR.html"));
    if (notes.open(QIODevice::ReadOnly))
        reVersion->setHtml(QString::fromUtf8(notes.readAll()));

    for (QLabel* clickable : {imgLogo, LabelSite, imgPaypal, Label5, Label6})
        clickable->installEventFilter(this);

    setDonationLanguage(QString());
}

QString TBoiteAPropos::supportAddress() const
{
    return SupportLinkUrl(LabelVersion->text(), platform::currentSystemVersion());
}

void TBoiteAPropos::SupportLink()
{
    OpenLink(supportAddress());
}

void TBoiteAPropos::execModal()
{
    if (ModalSeam::active()) {
        ModalSeam::ask({QStringLiteral("About"), windowTitle(), 0, 0});
        return;
    }
    PlaceDialogOverOwner(this);
    exec();
}

QString TBoiteAPropos::translationFolder() const
{
    if (!m_translationFolder.isEmpty())
        return m_translationFolder;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Traduc"));
}

bool TBoiteAPropos::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return QDialog::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* label = qobject_cast<QLabel*>(watched);
    // A release outside the control is no click.
    const bool inside = label && label->rect().contains(mouse->position().toPoint());
    if (watched == Label5) {
        if (mouse->button() == Qt::RightButton)
            makerLineReleased(event);
        else if (mouse->button() == Qt::LeftButton && inside)
            SupportLink();
        return false;
    }
    if (mouse->button() != Qt::LeftButton || !inside)
        return false;
    if (watched == imgLogo || watched == LabelSite)
        OpenLink(LabelSite->text());
    else if (watched == imgPaypal)
        OpenLink(m_donationLink);
    else if (watched == Label6)
        OpenLink(QString::fromLatin1(kCreditMail));
    return false;
}

void TBoiteAPropos::makerLineReleased(QEvent* event)
{
    const Qt::KeyboardModifiers keys = static_cast<QMouseEvent*>(event)->modifiers();
    if (!(keys & Qt::ShiftModifier))
        return;
    if (keys & Qt::ControlModifier)
        exportWindowTexts();
    else
        emit readOnlyLockReleaseRequested();
    platform::playSound(platform::SystemSound::Exclamation);
}

void TBoiteAPropos::exportWindowTexts()
{
    static const struct
    {
        const char* window;
        const char* file;
    } exports[] = {
        {"frmTresorin", "Fr_Main.txt"},   {"BoiteAPropos", "Fr_About.txt"}, {"BoiteMetaPass", "Fr_Pass.txt"},
        {"BoiteFTP", "Fr_FTP.txt"},       {"BoiteOptions", "Fr_Opt.txt"},   {"BoiteInfo", "Fr_Info.txt"},
        {"frmGenerateur", "Fr_Gene.txt"},
    };
    const QDir folder(translationFolder());
    // The folder is the translator's to make; without it nothing is written.
    if (!folder.exists())
        return;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const auto& e : exports) {
        for (QWidget* window : windows) {
            if (window->objectName() == QLatin1String(e.window)) {
                ExportLangTable(window, folder.filePath(QLatin1String(e.file)));
                break;
            }
        }
    }
}

void TBoiteAPropos::setDonationLanguage(const QString& code)
{
    m_donationImage = DonationImageName(code);
    imgPaypal->setPixmap(DonationImage(m_donationImage));
    m_donationLink = DonationLinkFor(QString::fromLatin1(kDonationPageUrl), code);
}

QString DonationLinkFor(const QString& address, const QString& code)
{
    QString link = address;
    const qsizetype at = link.indexOf(QLatin1String("[LANG]"), 0, Qt::CaseSensitive);
    if (at >= 0)
        link.replace(at, 6, code);
    return link;
}

QString DonationImageName(const QString& code)
{
    return code == QLatin1String("FR") ? QStringLiteral("PAYPAL_FR") : QStringLiteral("PAYPAL_EN");
}

QPixmap DonationImage(const QString& name)
{
    // The badge's words belong to the image, like the bitmap of a button.
    const QString text = name == QLatin1String("PAYPAL_FR") ? QStringLiteral("Faire un don") : QStringLiteral("Donate");
    const int w = 96, h = 30;
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(255, 214, 102));
    g.setColorAt(1, QColor(245, 166, 35));
    p.setPen(QPen(QColor(190, 120, 20), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), h / 2.0, h / 2.0);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(QColor(20, 40, 90));
    p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, text);
    return pm;
}
