// The buffered scan against a naive byte walk, on randomly damaged archives.
#include "engine/debris.h"
#include "tests/engine/engine_fixture.h"
#include "tests/engine/reference_scan.h"

#include <cstdlib>
#include <random>

namespace kvtest {
namespace {

std::uint32_t BaseSeed() {
    // KVZIP_TEST_SEED replays a failure.
    const char* text = std::getenv("KVZIP_TEST_SEED");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10))
                           : 20261207u;
}

std::string RandomArchive(std::mt19937& rng) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    ZipWriter zip;
    const int entries = 1 + pick(8);
    for (int i = 0; i < entries; ++i) {
        EntrySpec wanted;
        wanted.name = "dir" + std::to_string(pick(3)) + "/f" + std::to_string(i) +
                      (pick(4) == 0 ? "\\x" : ".dat");
        const int size = pick(4) == 0 ? 0 : pick(3000);
        wanted.content = pick(2) == 0 ? NoiseBytes(static_cast<std::size_t>(size), rng())
                                      : std::string(static_cast<std::size_t>(size), 'k');
        wanted.method = pick(2) == 0 ? 0 : 8;
        wanted.modTime = static_cast<std::uint16_t>(rng());
        wanted.modDate = static_cast<std::uint16_t>(rng());
        if (pick(3) == 0)
            wanted.extra = NoiseBytes(static_cast<std::size_t>(pick(40)), rng());
        const int form = pick(4);
        wanted.descriptor = form == 0   ? DescriptorForm::withSignature
                            : form == 1 ? DescriptorForm::withoutSignature
                                        : DescriptorForm::none;
        wanted.keepHeaderSizes = pick(2) == 0;
        wanted.zip64 = pick(4) == 0;
        zip.Add(wanted);
        if (pick(5) == 0)
            zip.AddRaw(NoiseBytes(static_cast<std::size_t>(pick(200)), rng()));
    }
    if (pick(4) != 0)
        zip.AddCentralDirectory();
    return zip.Bytes();
}

void Damage(std::string& bytes, std::mt19937& rng) {
    static const char* const kSignatures[] = {"PK\x03\x04", "PK\x01\x02", "PK\x07\x08"};
    auto pick = [&rng](std::size_t n) { return n == 0 ? 0 : rng() % n; };
    const int hits = static_cast<int>(rng() % 4);
    for (int i = 0; i < hits && !bytes.empty(); ++i) {
        switch (rng() % 6) {
        case 0:
            Truncate(bytes, pick(bytes.size()));
            break;
        case 1:
            FlipByte(bytes, pick(bytes.size()), static_cast<unsigned char>(1 + rng() % 255));
            break;
        case 2:
            DropRange(bytes, pick(bytes.size()), 1 + pick(300));
            break;
        case 3: {
            const std::size_t at = pick(bytes.size());
            if (at + 4 <= bytes.size())
                Overwrite(bytes, at, kSignatures[rng() % 3]);
            break;
        }
        case 4: {
            // A size field made to lie, or to send its value to a Zip64 field.
            const std::size_t at = pick(bytes.size());
            if (at + 4 <= bytes.size())
                OverwriteLe32(bytes, at,
                              rng() % 4 == 0 ? 0xFFFFFFFFu
                                             : static_cast<std::uint32_t>(rng() % 5000));
            break;
        }
        default:
            bytes.insert(pick(bytes.size()), NoiseBytes(1 + pick(64), rng()));
            break;
        }
    }
}

class ReferenceCompare : public EngineTest, public ::testing::WithParamInterface<int> {
protected:
    // Scans `bytes` with the engine, on the archive object of the scans
    // before, and with the byte walk, and checks that the two agree; returns
    // the engine's entries.
    std::vector<CFileHeader> ScanLikeTheByteWalk(const std::string& bytes, int mode) {
        const ReferenceResult expected = ReferenceScan(bytes, mode);
        RecordedProgress progress;
        m_archive->SetScanObserver(&progress);
        Open(bytes, mode);
        m_archive->SetScanObserver(nullptr);

        EXPECT_EQ(m_archive->GetEntryCount(), static_cast<std::size_t>(expected.entryCount));
        EXPECT_EQ(m_archive->DescriptorSeen() ? 1 : 0, expected.descriptorSeen);
        std::vector<CFileHeader> actual = FetchAll(*m_archive);
        EXPECT_EQ(actual.size(), expected.entries.size());
        for (std::size_t i = 0; i < actual.size() && i < expected.entries.size(); ++i)
            EXPECT_EQ(DescribeDifference(expected.entries[i], actual[i]), "") << "entry " << i;
        EXPECT_EQ(progress.reports, expected.reports);
        return actual;
    }
};

TEST_P(ReferenceCompare, DamagedArchivesScanLikeTheByteWalk) {
    const int mode = GetParam();
    const std::uint32_t base = BaseSeed();
    for (std::uint32_t round = 0; round < 100; ++round) {
        const std::uint32_t seed = base + round;
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " (KVZIP_TEST_SEED=" << base
                                          << ", round " << round << ")");
        std::mt19937 rng(seed);
        std::string bytes = RandomArchive(rng);
        Damage(bytes, rng);

        // One archive object scans every round, as in the process.
        const std::vector<CFileHeader> actual = ScanLikeTheByteWalk(bytes, mode);
        if (HasFailure())
            return;

        // Whatever the damage, extracting every entry ends in a clear outcome,
        // and it is skipped exactly when the preview leaves it out.
        TempDir out;
        for (std::size_t i = 0; i < actual.size(); ++i) {
            try {
                ExtractReport report;
                m_archive->ExtractEntryTo(i, Wide(out.Path()), 65535, &report);
                EXPECT_EQ(report.outcome == ExtractReport::skipped, IsDebris(actual[i]))
                    << "entry " << i;
            } catch (const CException&) {
                ASSERT_EQ(m_archive->m_readState, CZipArchive::readNone);
            }
        }
        m_archive->CloseArchive(true);
    }
}

TEST_P(ReferenceCompare, ArchivesAcrossTheWindowEdgeScanLikeTheByteWalk) {
    // Headers and signatures planted around the 2 MiB read-ahead edge.
    constexpr std::uint32_t kEdge = 2 * 1024 * 1024;
    const int mode = GetParam();
    const std::uint32_t base = BaseSeed();
    for (std::uint32_t round = 0; round < 4; ++round) {
        const std::uint32_t seed = base + 1000 + round;
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        ZipWriter zip;
        zip.Add({.name = "big.bin", .content = NoiseBytes(kEdge - 60 - round * 7, seed)});
        zip.Add({.name = "edge.txt",
                 .content = std::string(100, 'e'),
                 .method = 8,
                 .descriptor = DescriptorForm::withSignature});
        zip.Add({.name = "tail.bin", .content = NoiseBytes(kEdge / 2, seed + 1)});
        zip.AddCentralDirectory();
        std::string bytes = zip.Bytes();
        const std::size_t at = kEdge - 4 + rng() % 8;
        Overwrite(bytes, at, round % 2 == 0 ? "PK\x03\x04" : "PK\x01\x02");
        FlipByte(bytes, kEdge + 100 + rng() % 1000);

        ScanLikeTheByteWalk(bytes, mode);
        if (HasFailure())
            return;
        m_archive->CloseArchive(true);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ReferenceCompare, ::testing::Values(0, 1), [](const auto& test) {
    return test.param == 0 ? std::string("Quick") : std::string("Advanced");
});

} // namespace
} // namespace kvtest
