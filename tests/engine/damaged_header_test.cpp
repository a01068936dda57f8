// One damaged byte in one header, every fixed-field byte of five headers
// in four ways: no entry whose own headers are whole is lost, and no scan
// calls an archive sound unless every entry comes back whole.
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <algorithm>

namespace kvtest {
namespace {

struct Header {
    const char* what;
    std::size_t offset;
    std::size_t size;  // of its fixed part
    std::size_t owner; // the entry it describes
};

class DamagedHeader : public EngineTest {};

TEST_F(DamagedHeader, CostsNoMoreThanItsEntryAndIsNeverCalledSound) {
    ZipWriter zip;
    for (int i = 0; i < 6; ++i) {
        EntrySpec entry;
        entry.name = "entry" + std::to_string(i) + (i % 2 == 0 ? ".bin" : ".txt");
        entry.content = i % 2 == 0 ? NoiseBytes(700 + 97 * i, i)
                                   : std::string(900 + 31 * i, static_cast<char>('a' + i));
        entry.method = i % 2 == 0 ? 0 : 8;
        // Streaming writers: sizes after the data, none in the header.
        if (i >= 4)
            entry.descriptor = DescriptorForm::withSignature;
        zip.Add(entry);
    }
    const std::uint32_t directory = zip.Size();
    zip.AddCentralDirectory();
    const std::string intact = zip.Bytes();
    std::vector<std::size_t> centrals;
    for (std::size_t at = intact.find("PK\x01\x02", directory); at != std::string::npos;
         at = intact.find("PK\x01\x02", at + 1))
        centrals.push_back(at);
    ASSERT_EQ(centrals.size(), 6u);
    const std::vector<Header> headers = {
        {"first local", zip.Entry(0).headerOffset, 30, 0},
        {"middle local", zip.Entry(3).headerOffset, 30, 3},
        {"last local", zip.Entry(5).headerOffset, 30, 5},
        {"first central", centrals[0], 46, 0},
        {"middle central", centrals[3], 46, 3},
    };
    const std::vector<std::pair<const char*, unsigned char (*)(unsigned char)>> damages = {
        {"xor 0x01", [](unsigned char b) -> unsigned char { return b ^ 0x01; }},
        {"xor 0x40", [](unsigned char b) -> unsigned char { return b ^ 0x40; }},
        {"0x00", [](unsigned char) -> unsigned char { return 0x00; }},
        {"0xFF", [](unsigned char) -> unsigned char { return 0xFF; }},
    };

    int failures = 0;
    for (int mode : {0, 1})
        for (const Header& header : headers)
            for (std::size_t at = 0; at < header.size; ++at)
                for (const auto& [how, damage] : damages) {
                    std::string bytes = intact;
                    char& byte = bytes[header.offset + at];
                    const auto damaged =
                        static_cast<char>(damage(static_cast<unsigned char>(byte)));
                    if (damaged == byte)
                        continue;
                    byte = damaged;
                    SCOPED_TRACE(::testing::Message() << (mode == 0 ? "quick, " : "advanced, ")
                                                      << header.what << " +" << at << ", " << how);
                    g_repairMode = 0;
                    Open(bytes, mode);
                    std::vector<bool> whole(6, false);
                    VerdictTally tally;
                    for (std::size_t i = 0; i < m_archive->GetEntryCount(); ++i) {
                        ExtractReport report;
                        try {
                            m_archive->TestEntry(i, 65535, report);
                        } catch (const CException&) {
                        }
                        tally.Add(report);
                        for (std::size_t e = 0; e < 6; ++e)
                            if (report.verdict == Verdict::verified &&
                                report.name == platform::FromUtf8(zip.Entry(e).name) &&
                                report.crc == zip.Entry(e).crc &&
                                report.bytesWritten == zip.Entry(e).uncompressedSize)
                                whole[e] = true;
                    }
                    m_archive->CloseArchive(true);
                    for (std::size_t e = 0; e < 6; ++e)
                        if (e != header.owner && !whole[e]) {
                            ADD_FAILURE() << zip.Entry(e).name << " is lost";
                            ++failures;
                        }
                    if (tally.AllVerified() &&
                        std::find(whole.begin(), whole.end(), false) != whole.end()) {
                        ADD_FAILURE() << "called sound though " << zip.Entry(header.owner).name
                                      << " is not whole";
                        ++failures;
                    }
                    if (failures > 10)
                        return;
                }
}

} // namespace
} // namespace kvtest
