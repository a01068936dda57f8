// The two ciphers of ZIP archives, framing only: the traditional ZIP
// stream cipher and AES (method 99, extra field 0x9901: AES in CTR mode
// with an HMAC-SHA1 authentication code, keys from PBKDF2). Nettle does the cryptography.
#pragma once

#include <nettle/aes.h>
#include <nettle/hmac.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Method 99 stands for AES; the real method is in the 0x9901 extra field.
inline constexpr std::uint16_t kMethodAes = 99;
inline constexpr std::uint16_t kAesExtraTag = 0x9901;
// The traditional cipher's 12 random bytes before the data; the last one is
// the check byte.
inline constexpr std::uint32_t kTraditionalHeaderSize = 12;
inline constexpr std::uint32_t kAesVerifierSize = 2;
inline constexpr std::uint32_t kAesAuthCodeSize = 10;

// The 0x9901 field: AE-1 (CRC kept) or AE-2 (CRC 0, the code alone
// vouches), key strength 1..3 (AES-128/192/256) and the real method.
struct AesField {
    std::uint16_t vendorVersion = 0;
    std::uint8_t strength = 0;
    std::uint16_t method = 0;
};

// The AES field in an extra block, when it is there and well-formed.
std::optional<AesField> FindAesField(std::string_view extra);
// The 7 bytes of the field with its tag and size: 11 bytes in all.
std::string AesFieldBytes(const AesField& field);

class TraditionalCipher {
public:
    explicit TraditionalCipher(std::string_view password);
    TraditionalCipher(const TraditionalCipher&) = delete;
    TraditionalCipher& operator=(const TraditionalCipher&) = delete;
    ~TraditionalCipher();

    void Decrypt(unsigned char* data, std::size_t size);
    void Encrypt(unsigned char* data, std::size_t size);

private:
    void Update(unsigned char plain);
    unsigned char KeyByte() const;

    std::uint32_t m_keys[3];
};

class AesCipher {
public:
    // Bytes of salt for strength 1, 2, 3 (8, 12, 16); 0 for any other.
    static std::uint32_t SaltSize(int strength);

    // Derives the keys from the password and the entry's salt.
    AesCipher(std::string_view password, int strength, const unsigned char* salt);
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;
    ~AesCipher();

    // The 2 bytes stored after the salt that a fitting password derives too.
    std::array<unsigned char, kAesVerifierSize> Verifier() const { return m_verifier; }
    // The code is computed over the encrypted bytes.
    void Decrypt(unsigned char* data, std::size_t size);
    void Encrypt(unsigned char* data, std::size_t size);
    // The authentication code of every byte passed so far.
    std::array<unsigned char, kAesAuthCodeSize> AuthCode();

private:
    void ApplyKeystream(unsigned char* data, std::size_t size);
    void EncryptCounter(unsigned char* block);

    int m_keyLength = 0;
    union {
        aes128_ctx m_aes128;
        aes192_ctx m_aes192;
        aes256_ctx m_aes256;
    };
    hmac_sha1_ctx m_hmac;
    std::array<unsigned char, kAesVerifierSize> m_verifier{};
    // Little-endian block counter from 1, and the keystream left of its block.
    unsigned char m_counter[AES_BLOCK_SIZE] = {};
    unsigned char m_keystream[AES_BLOCK_SIZE] = {};
    std::size_t m_used = AES_BLOCK_SIZE;
};
