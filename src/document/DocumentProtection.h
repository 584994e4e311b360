#pragma once

#include "crypto/StrongContainer.h"

// How a document is stored: the compatible container that every copy of the program reads
// (SHA-1 of the password, Blowfish), or the strong one (Argon2id, XChaCha20-Poly1305) that only
// this program reads. Chosen per document; a new document is compatible.
struct DocumentProtection
{
    enum Container : quint8
    {
        Compatible,
        Strong
    };

    Container container = Compatible;
    strong::KdfParameters kdf; // Strong: the cost of the key derivation

    bool isStrong() const { return container == Strong; }
    friend bool operator==(const DocumentProtection& a, const DocumentProtection& b)
    {
        return a.container == b.container && (a.container == Compatible || a.kdf == b.kdf);
    }
    friend bool operator!=(const DocumentProtection& a, const DocumentProtection& b) { return !(a == b); }
};
