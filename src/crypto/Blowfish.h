#pragma once

#include <QtGlobal>

// The Blowfish block primitive (64-bit blocks, keys of 1 to 56 bytes) with the byte order of
// the published test vectors: a block is two big-endian 32-bit halves. OpenSSL does the work;
// its low-level interface is deprecated in OpenSSL 3, so it stays behind this class, in one file.
class TBlowfish
{
public:
    static constexpr int BlockLength = 8;
    static constexpr int MaxKeyLength = 56;
    // Four S-boxes of 256 words and the 18-word P-array.
    static constexpr int ScheduleLength = 4168;

    TBlowfish() noexcept;
    ~TBlowfish();
    TBlowfish(const TBlowfish&) = delete;
    TBlowfish& operator=(const TBlowfish&) = delete;

    // Runs the key schedule. Keys longer than MaxKeyLength are cut to it; an empty key is
    // refused (the schedule needs at least one byte to cycle through) and leaves the schedule
    // wiped.
    bool setKey(const uchar* key, int length) noexcept;

    // One block, in place.
    void encipherBlock(uchar* block) const noexcept;
    void decipherBlock(uchar* block) const noexcept;
    // One block given as its two halves, already read as big-endian words: saves the byte
    // shuffling when a caller works on words anyway.
    void encipherHalves(quint32& left, quint32& right) const noexcept;
    void decipherHalves(quint32& left, quint32& right) const noexcept;

    // Clears the key schedule.
    void wipe() noexcept;

private:
    alignas(8) uchar m_schedule[ScheduleLength];
};
