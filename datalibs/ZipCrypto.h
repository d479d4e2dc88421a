// The traditional zip password scheme ("ZipCrypto"): three 32-bit keys
// stirred by the password and by every plain byte, and a 12-byte header in
// front of each encrypted entry whose last byte lets a reader reject a wrong
// password early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zipcrypto {

inline constexpr std::size_t kHeaderSize = 12;

class Keys {
public:
    explicit Keys(std::string_view password);

    // In place, any length; the keys carry over between calls.
    void encrypt(std::uint8_t* data, std::size_t size);
    void decrypt(std::uint8_t* data, std::size_t size);

    // The 12-byte header that starts an entry's data: eleven random bytes
    // and the check byte, encrypted.
    void makeHeader(std::uint8_t header[kHeaderSize], std::uint8_t checkByte);
    // Decrypts a header read from an archive and answers whether its last
    // byte matches the expected check byte (a wrong password usually fails).
    bool readHeader(std::uint8_t header[kHeaderSize], std::uint8_t checkByte);

private:
    void update(std::uint8_t plain);
    std::uint8_t streamByte() const;

    std::uint32_t k0_ = 0x12345678u;
    std::uint32_t k1_ = 0x23456789u;
    std::uint32_t k2_ = 0x34567890u;
};

// The byte an entry's header must end with: the high byte of the CRC, or,
// when sizes and CRC follow the data (general flag bit 3), the high byte of
// the DOS time.
std::uint8_t checkByte(std::uint32_t crc, std::uint32_t dosDateTime, bool dataDescriptor);

}  // namespace zipcrypto
