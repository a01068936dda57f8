// Writes the damaged sample archive that `make run` salvages: a backup
// written by a streaming writer (data descriptors), then damaged the way
// downloads and disks damage archives. Usage: kvzip_make_sample OUTPUT.zip
#include "tests/support/zip_writer.h"

#include <cstdio>
#include <string>

namespace {

std::string Lines(const char* prefix, int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += std::string(prefix) + " " + std::to_string(i) +
                ": the quick brown fox jumps over "
                "the lazy dog, salvaged line by line.\r\n";
    return text;
}

std::string Csv(int rows) {
    std::string text = "month,region,units,revenue\r\n";
    for (int i = 0; i < rows; ++i)
        text += "2026-" + std::to_string(1 + i % 12) + ",region-" + std::to_string(i % 7) + "," +
                std::to_string(100 + (i * 37) % 900) + "," +
                std::to_string(1000 + (i * 7919) % 90000) + "\r\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvzip_make_sample OUTPUT.zip\n");
        return 2;
    }
    using kvtest::DescriptorForm;
    using kvtest::EntrySpec;
    const std::uint16_t time = (14 << 11) | (7 << 5) | 4;           // 14:07:08
    const std::uint16_t date = ((2026 - 1980) << 9) | (3 << 5) | 5; // 5 March 2026

    kvtest::ZipWriter zip;
    auto add = [&](const char* name, std::string content, std::uint16_t method) {
        EntrySpec wanted;
        wanted.name = name;
        wanted.content = std::move(content);
        wanted.method = method;
        wanted.modTime = time;
        wanted.modDate = date;
        wanted.descriptor = DescriptorForm::withSignature;
        return zip.Add(wanted);
    };
    add("Documents/letter.txt", Lines("Letter", 40), 8);
    add("Documents/reports/sales-2026.csv", Csv(3000), 8);
    const std::size_t garbled = add("Documents/reports/notes.txt", Lines("Note", 2000), 8);
    add("Pictures/README.txt", "Holiday pictures, sorted by day.\r\n", 0);
    add("Pictures/day-1.raw", kvtest::NoiseBytes(48 * 1024, 1), 0);
    add("Music/playlist.m3u", Lines("#EXTINF track", 60), 8);
    const std::size_t cut = add("Music/mix.raw", kvtest::NoiseBytes(96 * 1024, 2), 8);
    zip.AddCentralDirectory();

    std::string bytes = zip.Bytes();
    // A bad sector in the middle of one deflated entry...
    const auto& hurt = zip.Entry(garbled);
    kvtest::Overwrite(bytes, hurt.dataOffset + hurt.dataSize / 2, std::string(512, '\0'));
    // ...and a download cut short inside the last entry: the directory is gone.
    const auto& last = zip.Entry(cut);
    kvtest::Truncate(bytes, last.dataOffset + last.dataSize * 2 / 3);

    kvtest::WriteFileBytes(argv[1], bytes);
    std::printf("wrote %s (%zu bytes)\n", argv[1], bytes.size());
    return 0;
}
