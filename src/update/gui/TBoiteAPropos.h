#pragma once

#include <QDialog>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;
class QTextBrowser;

// The about box: the program's name and version, the maker's web address, a donation image and
// the release notes, on two tabs above an OK button. Made once at start-up and reused.
class TBoiteAPropos : public QDialog
{
    Q_OBJECT
public:
    // The donation page; "[LANG]" stands for the language code.
    static const char* const DonationAddress;
    // The maker's web site.
    static const char* const MakerSite;

    explicit TBoiteAPropos(QWidget* parent = nullptr);

    // Shows the donation image of the language ("PAYPAL_FR" for exactly "FR", else "PAYPAL_EN")
    // and makes the donation link point at the page in that language.
    void setDonationLanguage(const QString& code);
    QString donationLink() const { return m_donationLink; }
    QString donationImageName() const { return m_donationImage; }

    QTabWidget* Onglet = nullptr;
    QWidget* pgAbout = nullptr;
    QWidget* pgHisto = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* imgLogo = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* imgPaypal = nullptr;
    QLabel* LabelSite = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QTextBrowser* reVersion = nullptr;
    QPushButton* OKBtn = nullptr;

private:
    QString m_donationLink;
    QString m_donationImage;
};

// The donation address for a language: the first "[LANG]" (letter case counts) replaced by code.
QString DonationLinkFor(const QString& address, const QString& code);
// Name of the donation image for a language code.
QString DonationImageName(const QString& code);
// The donation badge of that name, painted by the program.
QPixmap DonationImage(const QString& name);
