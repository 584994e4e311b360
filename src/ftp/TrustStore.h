#pragma once

#include <QByteArray>
#include <QString>

// What the user has trusted beyond the system's own checks:
// - TLS certificates the system does not vouch for (self-signed ones above all), pinned by their
//   SHA-256 fingerprint in the settings file, section "Certificats", one key "host:port" each;
// - SSH host keys, in the user's ~/.ssh/known_hosts, shared with ssh and every other client.
// Nothing here turns a check off: a pin names one exact certificate.
namespace trust {

// The SHA-256 fingerprint of DER bytes as `openssl x509 -fingerprint -sha256` prints it:
// upper-case hex pairs joined by ":".
QString certificateFingerprint(const QByteArray& der);
// The fingerprint of an SSH public key blob as `ssh-keygen -l` prints it: "SHA256:" and the
// Base64 of its SHA-256, without padding.
QString hostKeyFingerprint(const QByteArray& blob);
// The known_hosts line for a key blob: "name type base64", the type read from the blob itself.
// Empty when the blob does not start with a key type.
QString knownHostsLine(const QString& name, const QByteArray& blob);

// The pinned fingerprint for "host:port", empty when none. Read from the settings file.
QString pinnedCertificate(const QString& hostPort);
// Pins (or replaces the pin of) "host:port". False with the system's text when the settings file
// cannot be written.
bool pinCertificate(const QString& hostPort, const QString& fingerprint, QString* error = nullptr);

// ~/.ssh/known_hosts of the user running the program.
QString knownHostsFile();
// Appends one line to the known_hosts file (made, with its folder, for the owner only when
// missing); the lines already there are kept byte for byte.
bool addKnownHost(const QString& line, QString* error = nullptr, const QString& file = knownHostsFile());

} // namespace trust
