#pragma once

// The maker's web server, the one place that names it: the about box shows it, and the support,
// donation, update and download addresses are pages on it, as is the credit's mail address. The host is a reserved
// example name until the program has a real home; only the page names after it are fixed.
#define TRESORIN_MAKER_SITE "https://www.orbelune.example/"

inline constexpr char kMakerSite[] = TRESORIN_MAKER_SITE;
// The update request; the settings fall back on it when they hold no address of their own.
inline constexpr char kBuiltInUpdateUrl[] = TRESORIN_MAKER_SITE "versions.php?soft=tresorin";
// The page a newer version is downloaded from.
inline constexpr char kDownloadPageUrl[] = TRESORIN_MAKER_SITE "download.php?soft=tresorin";
// The support page; the version and the system follow as parameters.
inline constexpr char kSupportPageUrl[] = TRESORIN_MAKER_SITE "contact.php?soft=tresorin&version=";
// The donation page; "[LANG]" stands for the language code.
inline constexpr char kDonationPageUrl[] = TRESORIN_MAKER_SITE "don.php?soft=tresorin&lang=[LANG]";
// The mail address behind the encryption credit of the about box.
inline constexpr char kCreditMail[] = "mailto:chiffrement@orbelune.example";
