#include "datalibs/ZipCrypto.h"

#include <zlib.h>

#include <random>

namespace zipcrypto {

namespace {

const z_crc_t* crcTable() {
    static const z_crc_t* table = get_crc_table();
    return table;
}

inline std::uint32_t crcByte(std::uint32_t crc, std::uint8_t b) {
    return crcTable()[(crc ^ b) & 0xffu] ^ (crc >> 8);
}

}  // namespace

Keys::Keys(std::string_view password) {
    for (unsigned char c : password) update(c);
}

void Keys::update(std::uint8_t plain) {
    k0_ = crcByte(k0_, plain);
    k1_ = (k1_ + (k0_ & 0xffu)) * 134775813u + 1u;
    k2_ = crcByte(k2_, static_cast<std::uint8_t>(k1_ >> 24));
}

std::uint8_t Keys::streamByte() const {
    std::uint32_t t = (k2_ & 0xffffu) | 2u;
    return static_cast<std::uint8_t>(((t * (t ^ 1u)) >> 8) & 0xffu);
}

void Keys::encrypt(std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        std::uint8_t plain = data[i];
        data[i] = plain ^ streamByte();
        update(plain);
    }
}

void Keys::decrypt(std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        std::uint8_t plain = data[i] ^ streamByte();
        data[i] = plain;
        update(plain);
    }
}

void Keys::makeHeader(std::uint8_t header[kHeaderSize], std::uint8_t check) {
    std::random_device rd;
    for (std::size_t i = 0; i + 1 < kHeaderSize; i += 4) {
        std::uint32_t r = rd();
        for (std::size_t j = 0; j < 4 && i + j + 1 < kHeaderSize; ++j)
            header[i + j] = static_cast<std::uint8_t>(r >> (8 * j));
    }
    header[kHeaderSize - 1] = check;
    encrypt(header, kHeaderSize);
}

bool Keys::readHeader(std::uint8_t header[kHeaderSize], std::uint8_t check) {
    decrypt(header, kHeaderSize);
    return header[kHeaderSize - 1] == check;
}

std::uint8_t checkByte(std::uint32_t crc, std::uint32_t dosDateTime, bool dataDescriptor) {
    if (dataDescriptor) return static_cast<std::uint8_t>((dosDateTime >> 8) & 0xffu);
    return static_cast<std::uint8_t>(crc >> 24);
}

}  // namespace zipcrypto
