// The open pipeline on arbitrary input: decipher, then read the document stream.
// Input: one byte giving the password length (modulo 64), the password bytes, then the rest.
// The rest is tried three ways: as a stored file; behind the password's own check value (a file
// damaged after its first 20 bytes); and as a plain stream enciphered and deciphered again.
#include "DocumentReadCheck.h"
#include "crypto/Cipher.h"

#include <cstddef>
#include <cstdint>

using fuzzcheck::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t passwordLength = qMin<size_t>(data[0] % 64, size - 1);
    const QByteArray password(reinterpret_cast<const char*>(data + 1), qsizetype(passwordLength));
    const QByteArray rest(reinterpret_cast<const char*>(data + 1 + passwordLength),
                          qsizetype(size - 1 - passwordLength));

    QByteArray plain;
    if (decipherDocument(rest, password, plain)) {
        require(plain.size() == rest.size() - 20, "deciphered length");
        fuzzcheck::readWriteRead(plain);
    } else {
        require(plain.isEmpty(), "a refused file left deciphered bytes");
    }

    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(password);
    const QByteArray damaged = cipher.checkValue() + rest;
    require(decipherDocument(damaged, password, plain), "the password's own check value is refused");
    require(plain.size() == rest.size(), "deciphered length after the check value");
    fuzzcheck::readWriteRead(plain);

    const QByteArray enciphered = encipherDocument(rest, password);
    require(enciphered.size() == rest.size() + 20, "enciphered length");
    require(enciphered.left(20) == cipher.checkValue(), "enciphered document starts with another check value");
    require(!decipherDocument(enciphered, password + '\0', plain) && plain.isEmpty(), "another password accepted");
    require(decipherDocument(enciphered, password, plain) && plain == rest, "round trip through the cipher");
    fuzzcheck::readWriteRead(plain);
    secureWipe(plain);
    return 0;
}
