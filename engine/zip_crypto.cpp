#include "engine/zip_crypto.h"

#include "engine/extra_field.h"
#include "engine/password.h"

#include <nettle/pbkdf2.h>

#include <cstring>
#include <zlib.h>

std::optional<AesField> FindAesField(std::string_view extra) {
    // Vendor version, "AE", strength, method.
    const std::optional<std::string_view> block =
        FindExtraBlock(extra, kAesExtraTag, [](std::string_view candidate) {
            return candidate.size() >= 7 && candidate.substr(2, 2) == "AE";
        });
    if (!block)
        return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(block->data());
    return AesField{ReadLe16(p), p[4], ReadLe16(p + 5)};
}

std::string AesFieldBytes(const AesField& field) {
    const unsigned char bytes[11] = {kAesExtraTag & 0xFF,
                                     kAesExtraTag >> 8,
                                     7,
                                     0,
                                     static_cast<unsigned char>(field.vendorVersion),
                                     static_cast<unsigned char>(field.vendorVersion >> 8),
                                     'A',
                                     'E',
                                     field.strength,
                                     static_cast<unsigned char>(field.method),
                                     static_cast<unsigned char>(field.method >> 8)};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TraditionalCipher::TraditionalCipher(std::string_view password)
    : m_keys{0x12345678, 0x23456789, 0x34567890} {
    for (const char c : password)
        Update(static_cast<unsigned char>(c));
}

TraditionalCipher::~TraditionalCipher() {
    WipeBytes(m_keys, sizeof m_keys);
}

void TraditionalCipher::Update(unsigned char plain) {
    // The format's key update: CRC-32 steps and a linear congruence.
    const z_crc_t* table = get_crc_table();
    m_keys[0] = (m_keys[0] >> 8) ^ table[(m_keys[0] ^ plain) & 0xFF];
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = (m_keys[2] >> 8) ^ table[(m_keys[2] ^ (m_keys[1] >> 24)) & 0xFF];
}

unsigned char TraditionalCipher::KeyByte() const {
    const std::uint32_t temp = (m_keys[2] | 2) & 0xFFFF;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void TraditionalCipher::Decrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= KeyByte();
        Update(data[i]);
    }
}

void TraditionalCipher::Encrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = data[i];
        data[i] ^= KeyByte();
        Update(plain);
    }
}

std::uint32_t AesCipher::SaltSize(int strength) {
    return strength >= 1 && strength <= 3 ? 4u + 4u * static_cast<std::uint32_t>(strength) : 0u;
}

AesCipher::AesCipher(std::string_view password, int strength, const unsigned char* salt)
    : m_keyLength(8 + 8 * strength) {
    // PBKDF2-HMAC-SHA1, 1000 rounds: the AES key, the HMAC key, the verifier.
    unsigned char derived[2 * 32 + kAesVerifierSize];
    const std::size_t length = 2 * static_cast<std::size_t>(m_keyLength) + kAesVerifierSize;
    pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const std::uint8_t*>(password.data()), 1000,
                     SaltSize(strength), salt, length, derived);
    switch (strength) {
    case 1:
        aes128_set_encrypt_key(&m_aes128, derived);
        break;
    case 2:
        aes192_set_encrypt_key(&m_aes192, derived);
        break;
    default:
        aes256_set_encrypt_key(&m_aes256, derived);
        break;
    }
    hmac_sha1_set_key(&m_hmac, static_cast<std::size_t>(m_keyLength), derived + m_keyLength);
    std::memcpy(m_verifier.data(), derived + 2 * m_keyLength, kAesVerifierSize);
    WipeBytes(derived, sizeof derived);
}

AesCipher::~AesCipher() {
    WipeBytes(&m_aes256, sizeof m_aes256 > sizeof m_aes128 ? sizeof m_aes256 : sizeof m_aes128);
    WipeBytes(&m_hmac, sizeof m_hmac);
    WipeBytes(m_keystream, sizeof m_keystream);
}

void AesCipher::EncryptCounter(unsigned char* block) {
    switch (m_keyLength) {
    case 16:
        aes128_encrypt(&m_aes128, AES_BLOCK_SIZE, block, m_counter);
        break;
    case 24:
        aes192_encrypt(&m_aes192, AES_BLOCK_SIZE, block, m_counter);
        break;
    default:
        aes256_encrypt(&m_aes256, AES_BLOCK_SIZE, block, m_counter);
        break;
    }
}

void AesCipher::ApplyKeystream(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (m_used == AES_BLOCK_SIZE) {
            // The counter counts little-endian, from 1.
            for (unsigned char& b : m_counter)
                if (++b != 0)
                    break;
            EncryptCounter(m_keystream);
            m_used = 0;
        }
        data[i] ^= m_keystream[m_used++];
    }
}

void AesCipher::Decrypt(unsigned char* data, std::size_t size) {
    hmac_sha1_update(&m_hmac, size, data);
    ApplyKeystream(data, size);
}

void AesCipher::Encrypt(unsigned char* data, std::size_t size) {
    ApplyKeystream(data, size);
    hmac_sha1_update(&m_hmac, size, data);
}

std::array<unsigned char, kAesAuthCodeSize> AesCipher::AuthCode() {
    unsigned char digest[SHA1_DIGEST_SIZE];
    hmac_sha1_digest(&m_hmac, sizeof digest, digest);
    std::array<unsigned char, kAesAuthCodeSize> code{};
    std::memcpy(code.data(), digest, code.size());
    return code;
}
