#include "engine/entry_verdict.h"

#include "engine/file_header.h"
#include "engine/zip_archive.h"
#include "engine/zip_crypto.h"

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::verified:
        return "verified";
    case Verdict::damaged:
        return "damaged";
    case Verdict::partial:
        return "partial";
    case Verdict::notSaved:
        return "not saved";
    case Verdict::folder:
        return "folder";
    }
    return "";
}

std::string VerdictText(const ExtractReport& report) {
    std::string text = VerdictName(report.verdict);
    if (!report.reason.empty() && report.verdict != Verdict::verified &&
        report.verdict != Verdict::folder)
        text += ": " + report.reason;
    return text;
}

namespace {

// The methods that ZIP writers use besides stored and deflated, by the
// numbers the format gives them.
const char* MethodName(std::uint16_t method) {
    switch (method) {
    case 1:
        return "shrunk";
    case 6:
        return "imploded";
    case 9:
        return "deflate64";
    case 12:
        return "bzip2";
    case 14:
        return "LZMA";
    case 93:
        return "Zstandard";
    case 95:
        return "xz";
    case 96:
        return "JPEG";
    case 97:
        return "WavPack";
    case 98:
        return "PPMd";
    case 99:
        return "AES";
    default:
        return "method";
    }
}

} // namespace

bool IsEncrypted(const CFileHeader& entry) {
    return (entry.flags & kFlagEncrypted) != 0 || entry.method == kMethodAes;
}

std::string UndecodableReason(const CFileHeader& entry, bool havePassword) {
    if (IsEncrypted(entry)) {
        // Decoding encrypted bytes as plain data would only make garbage files.
        if ((entry.flags & kFlagStrongEncryption) != 0)
            return "encrypted with strong encryption (flag bit 6), which is not supported";
        if (entry.method == kMethodAes) {
            const std::optional<AesField> aes =
                FindAesField({entry.extraField.GetBuffer(), entry.extraField.GetSize()});
            if (!aes)
                return "encrypted with AES, but its AES field is missing";
            if (AesCipher::SaltSize(aes->strength) == 0)
                return "encrypted with AES of an unknown key strength (" +
                       std::to_string(aes->strength) + ")";
        }
        if (!havePassword)
            return "encrypted, and no password was given";
    }
    const std::uint16_t method = entry.DataMethod();
    if (method != 0 && method != 8)
        return "method not supported: " + std::string(MethodName(method)) + " (" +
               std::to_string(method) + ")";
    return {};
}

void VerdictTally::Add(const ExtractReport& report) {
    if (report.listed) {
        ++listed;
        if (report.verdict == Verdict::verified || report.verdict == Verdict::folder)
            listedBack += report.IsDebris() ? 0 : 1;
    }
    if (report.IsDebris()) {
        ++debris;
        return;
    }
    switch (report.verdict) {
    case Verdict::verified:
        ++verified;
        break;
    case Verdict::damaged:
        ++damaged;
        break;
    case Verdict::partial:
        ++partial;
        break;
    case Verdict::notSaved:
        ++notSaved;
        break;
    case Verdict::folder:
        ++folders;
        break;
    }
}

void VerdictTally::Add(const VerdictTally& other) {
    verified += other.verified;
    damaged += other.damaged;
    partial += other.partial;
    notSaved += other.notSaved;
    folders += other.folders;
    debris += other.debris;
    listed += other.listed;
    listedBack += other.listedBack;
}
