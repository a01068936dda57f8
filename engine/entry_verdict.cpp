#include "engine/entry_verdict.h"

#include "engine/debris.h"
#include "engine/deflate_resync.h"
#include "engine/entry_decoder.h"
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

std::string GroupedDigits(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string ResyncReason(const ResyncOutcome& outcome, std::optional<std::uint64_t> size) {
    std::string text = GroupedDigits(outcome.recovered);
    if (size)
        text += " of " + GroupedDigits(*size);
    text += " bytes recovered";
    std::uint64_t lost = 0;
    std::string where;
    for (const ByteRange& range : outcome.lost) {
        lost += range.length;
        where += (where.empty() ? " at " : ", ") + GroupedDigits(range.offset) + "\xE2\x80\x93" +
                 GroupedDigits(range.offset + range.length - 1);
    }
    if (lost > 0)
        text += "; " + GroupedDigits(lost) + " bytes lost" + where;
    if (outcome.unknownBytes > 0)
        text += "; " + GroupedDigits(outcome.unknownBytes) + " bytes unknown after " +
                (lost > 0 ? "it" : "the damage");
    if (outcome.estimated)
        text += "; where the bytes after the damage belong is estimated";
    return text;
}

bool IsEncrypted(const CFileHeader& entry) {
    return (entry.flags & (kFlagEncrypted | kFlagMaskedHeader)) != 0 || entry.method == kMethodAes;
}

std::string UndecodableReason(const CFileHeader& entry, bool havePassword) {
    if (IsEncrypted(entry)) {
        // Decoding encrypted bytes as plain data would only make garbage files.
        // Strong encryption, whose format is not open; its central
        // directory encryption masks the local headers too.
        if ((entry.flags & (kFlagStrongEncryption | kFlagMaskedHeader)) != 0)
            return "encrypted with a method this program cannot decrypt";
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
    if (!MethodKnown(method)) {
        const char* name = CompressionMethodName(method);
        return "method not supported: " + std::string(name != nullptr ? name : "method") + " (" +
               std::to_string(method) + ")";
    }
    if (!MethodBuilt(method))
        return "this build has no " + std::string(CompressionMethodName(method)) + " decoder";
    return {};
}

void VerdictTally::Add(const ExtractReport& report) {
    if (report.keptExisting) {
        ++kept;
        return;
    }
    // A "./" the directory lists stands for the destination: it is not lost.
    if (report.listed && !(report.IsDebris() && NamesTheDestination(report.name))) {
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
    kept += other.kept;
    listed += other.listed;
    listedBack += other.listedBack;
}
