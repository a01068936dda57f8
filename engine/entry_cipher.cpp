// Encrypted entries: keying the cipher from the encryption header, the
// decryption of what the reader reads, the AES authentication code, and
// trying a password on an archive.
#include "engine/debris.h"
#include "engine/zip_archive.h"
#include "engine/zip_exception.h"

#include <algorithm>

CZipArchive::KeyCheck CZipArchive::OpenCipher(const CFileHeader& entry, const Password& password) {
    CloseCipher();
    if (entry.method == kMethodAes) {
        // UndecodableReason has refused an entry without a usable field.
        const AesField aes =
            FindAesField({entry.extraField.GetBuffer(), entry.extraField.GetSize()}).value();
        m_aesSaltSize = AesCipher::SaltSize(aes.strength);
        m_crcStored = aes.vendorVersion != 2;
        unsigned char head[16 + kAesVerifierSize] = {};
        const std::uint32_t size = m_aesSaltSize + kAesVerifierSize;
        if (m_storage.ReadPlain(head, size) < size)
            return KeyCheck::cut;
        m_aes = std::make_unique<AesCipher>(password.View(), aes.strength, head);
        if (!std::equal(head + m_aesSaltSize, head + size, m_aes->Verifier().begin())) {
            m_aes.reset();
            return KeyCheck::wrongPassword;
        }
        return KeyCheck::fits;
    }
    unsigned char head[kTraditionalHeaderSize] = {};
    if (m_storage.ReadPlain(head, sizeof head) < sizeof head)
        return KeyCheck::cut;
    m_traditional = std::make_unique<TraditionalCipher>(password.View());
    m_traditional->Decrypt(head, sizeof head);
    // The last byte is the CRC's high byte; a writer that streams (flag
    // bit 3) knows no CRC yet and uses the time's high byte instead, though
    // some use the CRC all the same.
    const unsigned char check = head[sizeof head - 1];
    const bool fits = check == (entry.storedCrc >> 24) ||
                      ((entry.flags & kFlagDataDescriptor) != 0 && check == (entry.modTime >> 8));
    if (!fits) {
        m_traditional.reset();
        return KeyCheck::wrongPassword;
    }
    return KeyCheck::fits;
}

std::uint32_t CZipArchive::CipherHeaderSize() const {
    if (m_traditional)
        return kTraditionalHeaderSize;
    return m_aes ? m_aesSaltSize + kAesVerifierSize : 0;
}

void CZipArchive::CloseCipher() {
    m_traditional.reset();
    m_aes.reset();
    m_aesSaltSize = 0;
    m_crcStored = true;
}

void CZipArchive::DecryptRead(std::uint32_t size) {
    auto* bytes = reinterpret_cast<unsigned char*>(m_info.m_readBuffer.GetBuffer());
    if (m_traditional)
        m_traditional->Decrypt(bytes, size);
    else if (m_aes)
        m_aes->Decrypt(bytes, size);
}

CZipArchive::AuthCheck CZipArchive::CheckAuthCode() {
    if (!m_aes)
        return AuthCheck::none;
    // The code covers every encrypted byte, also those the decoder did not
    // need; they are read now.
    auto* buffer = reinterpret_cast<unsigned char*>(m_info.m_readBuffer.GetBuffer());
    while (m_info.m_compressedLeft > 0) {
        const auto ask = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(m_info.m_bufferSize, m_info.m_compressedLeft));
        m_info.m_compressedLeft -= ask;
        const std::uint32_t got = m_storage.ReadPlain(buffer, ask);
        m_aes->Decrypt(buffer, got);
        if (got < ask)
            return AuthCheck::missing;
    }
    unsigned char code[kAesAuthCodeSize] = {};
    if (m_storage.ReadPlain(code, sizeof code) < sizeof code)
        return AuthCheck::missing;
    const auto computed = m_aes->AuthCode();
    return std::equal(computed.begin(), computed.end(), code) ? AuthCheck::matches
                                                              : AuthCheck::differs;
}

std::size_t CZipArchive::CountEncrypted() const {
    std::size_t count = 0;
    CFileHeader entry;
    for (std::size_t i = 0; i < m_centralDir.GetCount(); ++i) {
        m_centralDir.Entries().Fetch(i, entry);
        if (IsEncrypted(entry) && FindDebris(entry) == Debris::none)
            ++count;
    }
    return count;
}

PasswordFit CZipArchive::TryPassword(const Password& password, std::size_t most) {
    PasswordFit fit;
    if (m_readState != readNone)
        return fit;
    CFileHeader entry;
    for (std::size_t i = 0; i < m_centralDir.GetCount() && fit.checked < most; ++i) {
        m_centralDir.Entries().Fetch(i, entry);
        if (!IsEncrypted(entry) || FindDebris(entry) != Debris::none ||
            !UndecodableReason(entry, true).empty())
            continue;
        KeyCheck check = KeyCheck::cut;
        try {
            m_centralDir.PositionAtEntry(i);
            check = OpenCipher(entry, password);
        } catch (const CException&) {
            // A header that cannot be read tells nothing about the password.
        }
        CloseCipher();
        m_centralDir.AbandonEntry();
        if (check == KeyCheck::cut)
            continue;
        ++fit.checked;
        if (check == KeyCheck::fits)
            ++fit.fitting;
    }
    return fit;
}
