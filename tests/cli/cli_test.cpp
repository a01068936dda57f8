// kvzip analyse and kvzip repair as a user runs them, compared with the
// same passes driven in-process through test hosts.
#include "subprocess.h"
#include "tests/support/workflow_hosts.h"

#include "engine/scan_state.h"
#include "log/banners.h"
#include "platform/text.h"
#include "tests/support/zip_writer.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;
using kvtest::ZipWriter;

const std::string kAbortBanner =
    "\r\n\r\n******************* Repairing aborted***********************************";
const std::string kCompletionBanner = "\r\n\r\n******************* Repairing Completed successfully"
                                      "***********************************";

class CliTest : public WorkflowTest {
protected:
    void SetUp() override {
        WorkflowTest::SetUp();
        // A command without --log would write next to the store's FilePath.
        kvtest::WriteFileBytes(Root() / "registry.ini",
                               "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=" + Root().string() + "\n");
        fs::create_directory(Dest());
    }
    fs::path Dest() const { return Root() / "dest"; }
    fs::path CliLog() const { return Root() / "cli.log"; }

    // The test's archives are noted with their checksum: no run may change one.
    fs::path Archive(const std::string& name, const std::string& bytes) const {
        return NoteSource(WorkflowTest::Archive(name, bytes));
    }
    fs::path NoteSource(const fs::path& path) const {
        m_sources.emplace_back(path, FileChecksum(path));
        return path;
    }

    RunResult Kvzip(std::vector<std::string> args,
                    const std::function<bool(int)>& whileRunning = {}) const {
        args.insert(args.begin(), KVZIP_BINARY);
        const RunResult run = RunProgram(args, whileRunning);
        ExpectSourcesUnchanged();
        return run;
    }

    void ExpectSourcesUnchanged() const {
        for (const auto& [path, checksum] : m_sources)
            EXPECT_EQ(FileChecksum(path), checksum) << "a run changed the archive " << path;
    }

    // CRC-32 and size of the file's bytes; nullopt when it cannot be read.
    static std::optional<std::pair<std::uint32_t, std::uint64_t>>
    FileChecksum(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return std::nullopt;
        std::vector<char> block(1 << 20);
        uLong crc = crc32(0, nullptr, 0);
        std::uint64_t size = 0;
        while (in.read(block.data(), static_cast<std::streamsize>(block.size())) ||
               in.gcount() > 0) {
            const auto got = static_cast<uInt>(in.gcount());
            crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), got);
            size += got;
        }
        return std::pair(static_cast<std::uint32_t>(crc), size);
    }

    // What a Python `script` prints about the JSON of each run, which it
    // finds parsed in `d[0]`, `d[1]`...
    std::string ReadJson(const std::vector<const RunResult*>& runs, const std::string& script) {
        std::vector<std::string> args = {
            "/usr/bin/python3", "-c",
            "import json,sys\n"
            "d=[json.load(open(p, encoding='utf-8')) for p in sys.argv[1:]]\n" +
                script};
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const fs::path saved = Root() / ("run" + std::to_string(i) + ".json");
            kvtest::WriteFileBytes(saved, runs[i]->out);
            args.push_back(saved.string());
        }
        const RunResult parsed = RunProgram(args);
        EXPECT_EQ(parsed.exitCode, 0) << parsed.err << runs.front()->out;
        return parsed.out;
    }

    // The start banner carries the clock: mask its date and time.
    static std::string Masked(std::string log) {
        log = std::regex_replace(log, std::regex("Date    [^\r]*"), "Date    D");
        return std::regex_replace(log, std::regex("Time    [^\r]*"), "Time    T");
    }

    // What the desktop program logs before the analysis: the start banner,
    // "Repair" and step 2.
    static void LogUpToAnalysis(const std::vector<fs::path>& sources) {
        WriteStartBanner(std::tm{});
        g_repairMode = 0;
        g_skipPreview = 0;
        std::vector<std::wstring> paths;
        for (const fs::path& source : sources)
            paths.push_back(platform::DecodeLocal(source.string()));
        RecordRepairSelection(paths);
        LogAnalysisStart();
    }

    // Every file and folder below `root`, with the bytes of each file.
    static std::map<std::string, std::string> Tree(const fs::path& root) {
        std::map<std::string, std::string> tree;
        for (const auto& item : fs::recursive_directory_iterator(root)) {
            const std::string relative = fs::relative(item.path(), root).string();
            tree[relative] = item.is_directory()
                                 ? "<folder>"
                                 : kvtest::ReadFileBytes(item.path()).value_or("<unreadable>");
        }
        return tree;
    }

    fs::path SparseArchive(const std::string& file, const std::string& entry,
                           std::uint32_t size) const {
        return NoteSource(WorkflowTest::SparseArchive(file, entry, size));
    }

    std::vector<fs::path> Sources() const {
        ZipWriter deflated;
        deflated.Add({.name = "docs/readme.txt",
                      .content = std::string(4000, 'r'),
                      .method = 8,
                      .modTime = (9 << 11) | (30 << 5),
                      .modDate = ((2011 - 1980) << 9) | (7 << 5) | 14});
        deflated.Add({.name = "PK\x07\x08.DAT", .content = "debris"});
        deflated.AddCentralDirectory();
        ZipWriter cut;
        for (const char* name : {"keep.txt", "half.txt"})
            cut.Add({.name = name, .content = std::string(500, name[0])});
        std::string cutBytes = cut.Bytes();
        kvtest::Truncate(cutBytes, cut.Entry(1).dataOffset + 200);
        return {Archive("first.zip", ThreeEntryArchive()), Archive("second.zip", deflated.Bytes()),
                Archive("third.v2.zip", cutBytes)};
    }

private:
    mutable std::vector<std::pair<fs::path, std::optional<std::pair<std::uint32_t, std::uint64_t>>>>
        m_sources;
};

class RepairMatchesTheDesktopPass : public CliTest, public ::testing::WithParamInterface<int> {};

TEST_P(RepairMatchesTheDesktopPass, InFilesAndLog) {
    const int current = GetParam();
    const std::vector<fs::path> sources = Sources();
    std::vector<std::string> args = {"repair",     "--dest", Dest().string(),  "--overwrite",
                                     "yes-to-all", "--log",  CliLog().string()};
    if (current > 0) {
        args.push_back("--current");
        args.push_back(std::to_string(current));
    }
    for (const fs::path& source : sources)
        args.push_back(source.string());
    const RunResult run = Kvzip(args);
    // The third archive is cut short, and the second's directory lists an
    // entry that is debris: saved, but not all of it verified.
    ASSERT_EQ(run.exitCode, 3) << run.err;
    fs::rename(Dest(), Root() / "dest-cli");
    fs::create_directory(Dest());

    LogUpToAnalysis(sources);
    g_saveCurrentOnly = current > 0 ? 1 : 0;
    (current > 0 ? g_saveCurrentFolder : g_saveAllFolder) = platform::DecodeLocal(Dest().string());
    g_overwriteChoice = OverwriteYesToAll;
    RecordingSaveHost host(current);
    ASSERT_TRUE(RunSave(host));
    // Save Current File of one of several sources returns to the preview;
    // Save All closes with problems, as the third archive is cut short.
    if (current == 0)
        WriteProblemsBanner();

    EXPECT_EQ(Tree(Root() / "dest-cli"), Tree(Dest()));
    EXPECT_EQ(Masked(LogTestFolder::Read(CliLog())), Masked(LogText()));
    EXPECT_EQ(kvtest::ReadFileBytes(Root() / "dest-cli" / "Repair" / "third.v2" / "keep.txt"),
              current == 0 || current == 3 ? std::optional(std::string(500, 'k')) : std::nullopt);
    EXPECT_NE(run.err.find(current > 0 ? "\n1 archive: " : "\n3 archives: "), std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(Modes, RepairMatchesTheDesktopPass, ::testing::Values(0, 2, 3),
                         [](const auto& test) {
                             return test.param == 0 ? std::string("all")
                                                    : "current" + std::to_string(test.param);
                         });

TEST_F(CliTest, AnalyseMatchesTheDesktopPassInLogAndRows) {
    const std::vector<fs::path> sources = Sources();
    std::vector<std::string> args = {"analyse", "--log", CliLog().string()};
    for (const fs::path& source : sources)
        args.push_back(source.string());
    const RunResult text = Kvzip(args);
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Number Of Files Extracted  :      3"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("3.9   KB"), std::string::npos) << text.out;

    LogUpToAnalysis(sources);
    std::vector<RecordingAnalysisHost> hosts;
    for (int number = 1; number <= 3; ++number) {
        hosts.emplace_back(number);
        ASSERT_TRUE(RunAnalysis(hosts.back()));
    }
    EXPECT_EQ(Masked(LogTestFolder::Read(CliLog())), Masked(LogText()));

    // The JSON parses and holds the same texts as the in-process rows.
    args[2] = (Root() / "json.log").string();
    args.insert(args.begin() + 1, "--json");
    const RunResult json = Kvzip(args);
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const std::string parsed = ReadJson(
        {&json},
        "for a in d[0]['archives']:\n"
        "  print(a['number'], a['listedCount'], a['missing'])\n"
        "  for r in a['rows']:\n"
        "    print('|'.join([r['fileName'], r['uncompressedSizeText'],\n"
        "      r['compressedSizeText'], r['ratioText'], r['modifiedTimeText'], r['crcText'],\n"
        "      r['methodText'], str(r['crc']), str(r['uncompressedSize'])]))\n");
    std::string expected;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        expected += std::to_string(i + 1) + " " + std::to_string(hosts[i].rows.size()) + " False\n";
        for (const EntryRow& row : hosts[i].rows) {
            std::wstring line;
            for (const std::wstring& cell : row.texts)
                line += cell + L"|";
            line += std::to_wstring(row.crc) + L"|" + std::to_wstring(row.uncompressedSize);
            expected += platform::EncodeLocal(line) + "\n";
        }
    }
    EXPECT_EQ(parsed, expected);
}

// An archive with one entry of each kind that is not sound, after a sound
// one: a byte turned in stored data, an encrypted entry, and data cut by
// the end of the file.
std::string DamagedArchive() {
    ZipWriter zip;
    zip.Add({.name = "ok.txt", .content = std::string(300, 'o')});
    zip.Add({.name = "turned.txt", .content = std::string(300, 't')});
    zip.Add({.name = "secret.bin", .content = std::string(300, 's'), .flags = 1});
    zip.Add({.name = "cut.txt", .content = std::string(300, 'c')});
    std::string bytes = zip.Bytes();
    kvtest::FlipByte(bytes, zip.Entry(1).dataOffset + 7, 0x01);
    kvtest::Truncate(bytes, zip.Entry(3).dataOffset + 120);
    return bytes;
}

TEST_F(CliTest, CheckAndExtractAccountForEveryEntryAlike) {
    const auto archive = Archive("damaged.zip", DamagedArchive());
    const RunResult text = Kvzip({"check", archive.string()});
    EXPECT_EQ(text.exitCode, 3) << text.err;
    for (const char* line : {"  damaged   turned.txt: ", "  not saved secret.bin: encrypted",
                             "  partial   cut.txt: the archive ends inside its data (120 bytes "
                             "kept, CRC-32 ",
                             "damaged.zip: 4 files: 1 verified, 1 damaged, 1 partial, 1 not saved"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    EXPECT_EQ(text.out.find("ok.txt"), std::string::npos) << text.out;

    // Both JSON reports give every entry the same verdict, and the summary
    // accounts for every entry found.
    const std::string script = "import json,sys\n"
                               "d=json.load(open(sys.argv[1], encoding='utf-8'))\n"
                               "a=d['archives'][0] if 'archives' in d else d\n"
                               "s=a['summary']\n"
                               "print(' '.join(e['name']+'='+e['verdict'] for e in a['entries']))\n"
                               "print(s['verified']+s['damaged']+s['partial']+s['notSaved'] == "
                               "s['files'] == a['entryCount']-s['folders']-s['debris'])\n"
                               "print(all((e['crc']==e['expectedCrc'])==(e['verdict']=='verified')"
                               " for e in a['entries'] if e['expectedCrc'] is not None))\n"
                               "print(d['formatVersion'] == 2)\n";
    std::vector<std::string> outputs;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check", "--json", archive.string()},
          std::vector<std::string>{"extract", "--json", archive.string(), Dest().string()}}) {
        const RunResult json = Kvzip(args);
        kvtest::WriteFileBytes(Root() / "out.json", json.out);
        const RunResult parsed =
            RunProgram({"/usr/bin/python3", "-c", script, (Root() / "out.json").string()});
        ASSERT_EQ(parsed.exitCode, 0) << parsed.err << json.out;
        outputs.push_back(parsed.out);
    }
    EXPECT_EQ(outputs[0], "ok.txt=verified turned.txt=damaged secret.bin=not saved "
                          "cut.txt=partial\nTrue\nTrue\nTrue\n");
    EXPECT_EQ(outputs[1], outputs[0]);
    // What was written is all that decoded, encrypted data left out.
    EXPECT_EQ(kvtest::ReadFileBytes(Dest() / "cut.txt"), std::string(120, 'c'));
    EXPECT_FALSE(fs::exists(Dest() / "secret.bin"));
}

// Text that deflates about three to one, as the files of a damaged backup do.
std::string WordText(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"alpha", "salvage", "archive", "header",
                                         "entry", "damaged", "kelvane", "recovery"};
    std::string text;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % 8] + std::to_string((seed >> 8) % 1000) +
                ((seed & 0xF0) == 0 ? "\n" : " ");
    }
    text.resize(size);
    return text;
}

// The saving pass writes in smaller chunks than extract: the last of a cut
// entry, and what the read buffer still held when the archive ended, are
// kept all the same. Every file of the set is compared.
TEST_F(CliTest, ExtractAndTheSavingPassKeepTheSameBytesOfADamagedSet) {
    std::vector<std::string> archives;
    std::size_t storedCutAt = 0;
    std::size_t storedAvailable = 0;
    for (const std::uint16_t method : {8, 0}) {
        ZipWriter zip;
        for (std::uint32_t k = 0; k < 3; ++k)
            zip.Add({.name = "f" + std::to_string(k) + ".txt",
                     .content = WordText(300000 + 777 * k, k + 1),
                     .method = method});
        for (const int percent : {30, 50, 70, 90}) {
            std::string bytes = zip.Bytes();
            const std::size_t size = bytes.size() * percent / 100;
            kvtest::Truncate(bytes, size);
            const std::string name = "cut" + std::to_string(method) + "-" + std::to_string(percent);
            archives.push_back(Archive(name + ".zip", bytes).string());
            if (method == 0 && percent == 90) {
                storedCutAt = zip.Entry(2).dataOffset;
                storedAvailable = size - storedCutAt;
                ASSERT_LT(storedCutAt, size);
            }
        }
    }
    for (const std::string& archive : archives) {
        const std::string name = fs::path(archive).stem().string();
        const RunResult extract =
            Kvzip({"extract", "-q", archive, (Root() / "ex" / name).string()});
        EXPECT_EQ(extract.exitCode, 3) << name << extract.err;
    }
    std::vector<std::string> repairArgs = {"repair",     "--dest", Dest().string(),  "--overwrite",
                                           "yes-to-all", "--log",  CliLog().string()};
    repairArgs.insert(repairArgs.end(), archives.begin(), archives.end());
    const RunResult repair = Kvzip(repairArgs);
    EXPECT_EQ(repair.exitCode, 3) << repair.err;
    const auto extracted = Tree(Root() / "ex");
    EXPECT_EQ(Tree(Dest() / "Repair"), extracted);
    // Stored data cut short keeps every byte up to the end of the file.
    EXPECT_EQ(extracted.at("cut0-90/f2.txt").size(), storedAvailable);
}

// The password never comes as an argument: from a file, the environment,
// or typed on the terminal without echo, asked again while it does not fit.
TEST_F(CliTest, PasswordComesFromAFileTheEnvironmentOrTheTerminal) {
    ZipWriter zip;
    zip.Add({.name = "a.txt", .content = "alpha", .method = 8, .password = "pw"});
    zip.Add({.name = "b.txt", .content = "beta", .password = "pw", .aesStrength = 3});
    zip.AddCentralDirectory();
    const auto archive = Archive("locked.zip", zip.Bytes());

    const RunResult missing =
        Kvzip({"check", "--password-file", (Root() / "none").string(), archive.string()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot read the password file"), std::string::npos);
    const RunResult env =
        RunProgram({"/usr/bin/env", "KVZIP_PASSWORD=pw", KVZIP_BINARY, "check", archive.string()});
    EXPECT_EQ(env.exitCode, 0) << env.out;
    EXPECT_NE(env.out.find("2 files: 2 verified"), std::string::npos) << env.out;
    // Standard input as the file; a file's first line only.
    const RunResult piped = RunProgram({"/bin/sh", "-c",
                                        std::string("printf 'pw\\nrest\\n' | ") + KVZIP_BINARY +
                                            " check --password-file - " + archive.string()});
    EXPECT_EQ(piped.exitCode, 0) << piped.out << piped.err;

    if (!fs::exists("/usr/bin/script"))
        GTEST_SKIP() << "no script(1) to give the command a terminal";
    // Typed once the prompt is up: typed ahead, the terminal would echo it
    // before kvzip could turn the echo off.
    const RunResult typed =
        RunProgram({"/bin/sh", "-c",
                    "(sleep 1; echo nope; sleep 1; echo pw) | /usr/bin/script -qec '" +
                        std::string(KVZIP_BINARY) + " check " + archive.string() + "' /dev/null"});
    EXPECT_EQ(typed.exitCode, 0) << typed.out;
    EXPECT_NE(typed.out.find("Password for "), std::string::npos) << typed.out;
    EXPECT_NE(typed.out.find("The password does not fit "), std::string::npos) << typed.out;
    EXPECT_EQ(typed.out.find("nope"), std::string::npos) << "echoed: " << typed.out;
    EXPECT_NE(typed.out.find("2 files: 2 verified"), std::string::npos) << typed.out;

    // Ctrl+C at the prompt: extract stops as interrupted, check dies of it,
    // and either way the terminal echoes again, also after a second Ctrl+C
    // (which ends a command at once).
    for (const std::string& command :
         {"extract " + archive.string() + " " + (Root() / "out").string(),
          "check " + archive.string()}) {
        const RunResult stopped =
            RunProgram({"/bin/sh", "-c",
                        "(sleep 1; printf '\\003'; sleep 1; printf '\\003'; sleep 1) | "
                        "/usr/bin/script -qec \"bash -c 'trap : INT; " +
                            std::string(KVZIP_BINARY) + " " + command +
                            "; echo exit=\\$?; sleep 2; stty -a'\" /dev/null"});
        EXPECT_NE(stopped.out.find("exit=130"), std::string::npos) << command << stopped.out;
        EXPECT_EQ(stopped.out.find("-echo "), std::string::npos) << command << stopped.out;
    }
    EXPECT_FALSE(fs::exists(Root() / "out" / "a.txt"));
}

TEST_F(CliTest, ListJsonEscapesAwkwardNames) {
    // Debris to the preview, but list shows every entry of the table.
    ZipWriter zip;
    zip.Add({.name = "q\"uote\x01\xE9\ttab.txt", .content = "odd"});
    zip.AddCentralDirectory();
    const auto archive = Archive("odd.zip", zip.Bytes());
    const RunResult json = Kvzip({"list", "--json", archive.string()});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const std::string parsed =
        ReadJson({&json}, "e=d[0]['entries'][0]\n"
                          "print(ascii(e['name']), e['debris'], e['debrisReason'])\n");
    // A name that is not UTF-8 is read in CP437, where 0xE9 is a theta.
    EXPECT_EQ(parsed,
              "'q\"uote\\x01\\u0398\\ttab.txt' True debris: control characters in the name\n");
}

TEST_F(CliTest, SixtyFourBitSizesAndOffsetsReachTheJsonAsNumbers) {
    // A sparse file of 5 GiB: an entry whose Zip64 sizes span it, then one
    // whose header lies past 5 GiB.
    const std::uint64_t past = (std::uint64_t{5} << 30) + 17;
    const std::string field = kvtest::Zip64FieldBytes({0, 0});
    const std::uint64_t size = past - (30 + 8 + field.size());
    const std::string huge =
        kvtest::LocalHeaderBytes(45, 0, 0, 0, 0x5A21, 0, 0xFFFFFFFF, 0xFFFFFFFF, "huge.bin", 8,
                                 kvtest::Zip64FieldBytes({size, size}), 20);
    const std::string last = kvtest::LocalHeaderBytes(20, 0, 0, 0, 0x5A21, kvtest::Crc32("past"), 4,
                                                      4, "past.txt", 8, "", 0) +
                             "past";
    const fs::path archive = Root() / "sparse.zip";
    {
        std::ofstream out(archive, std::ios::binary);
        out.write(huge.data(), static_cast<std::streamsize>(huge.size()));
        out.seekp(static_cast<std::streamoff>(past));
        out.write(last.data(), static_cast<std::streamsize>(last.size()));
        ASSERT_TRUE(out.good()) << "no room for a sparse file";
    }
    const RunResult list = Kvzip({"list", "--json", archive.string()});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const RunResult analyse =
        Kvzip({"analyse", "--json", "--log", CliLog().string(), archive.string()});
    ASSERT_EQ(analyse.exitCode, 0) << analyse.err;
    const std::string parsed = ReadJson(
        {&list, &analyse},
        "for e in d[0]['entries']:\n"
        "  print(e['name'], e['compressedSize'], e['uncompressedSize'], e['localHeaderOffset'])\n"
        "for r in d[1]['archives'][0]['rows']:\n"
        "  print(r['fileName'], r['uncompressedSize'], r['uncompressedSizeText'])\n");
    const std::string bytes = std::to_string(size);
    EXPECT_EQ(parsed, "huge.bin " + bytes + " " + bytes + " 0\n" + "past.txt 4 4 " +
                          std::to_string(past) + "\n" + "huge.bin " + bytes + " 5.0   GB\n" +
                          "past.txt 4 4   Bytes\n");
}

TEST_F(CliTest, NamesReachTheTerminalWithoutControlCharacters) {
    ZipWriter zip;
    zip.Add({.name = "title\x1b]0;owned\x07.txt", .content = "odd"});
    zip.Add({.name = "clear\x1b[2J\xc2\x9b.txt", .content = "odd"});
    // U+202E turns "invoice-\u202Efdp.exe" into what shows as "invoice-exe.pdf".
    zip.Add({.name = "invoice-\xe2\x80\xae"
                     "fdp.exe",
             .content = "odd",
             .flags = 0x800});
    zip.AddCentralDirectory();
    const auto archive = Archive("escape.zip", zip.Bytes());
    const RunResult run = Kvzip({"list", archive.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("title?]0;owned?.txt"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("invoice-?fdp.exe"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.out.find('\x07'), std::string::npos);
    EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos);
}

// File names are bytes: an archive or a destination whose name is not
// UTF-8 is used as given. A file that holds no ZIP data is said so on
// stderr, and stdout stays empty, as it does for a missing archive.
TEST_F(CliTest, PathsKeepTheirBytesAndUnreadableArchivesSaySoOnStderrOnly) {
    const auto archive = Archive("bad\xffname.zip", ThreeEntryArchive());
    const RunResult check = Kvzip({"check", archive.string()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_NE(check.out.find("bad?name.zip"), std::string::npos) << check.out;
    const fs::path folder = Root() / "dir\xfe";
    const RunResult extract = Kvzip({"extract", archive.string(), folder.string()});
    EXPECT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(fs::exists(Root() / "dir\xc3\xbe"));

    const auto noise = Archive("noise.zip", kvtest::NoiseBytes(3000, 5));
    const RunResult none = Kvzip({"extract", noise.string(), (Root() / "out9").string()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("no ZIP data"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(Root() / "out9"));
    const RunResult missing = Kvzip({"list", (Root() / "missing.zip").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
}

struct OverwriteOption {
    const char* option;
    std::vector<bool> saved; // a (folder exists), b (exists), c (new)
};

class RepairOverwrite : public CliTest, public ::testing::WithParamInterface<OverwriteOption> {};

TEST_P(RepairOverwrite, MapsOntoTheOverwriteChoice) {
    std::vector<std::string> args = {"repair",          "--dest", Dest().string(),  "--overwrite",
                                     GetParam().option, "--log",  CliLog().string()};
    for (const char* name : {"a", "b", "c"})
        args.push_back(Archive(std::string(name) + ".zip", ThreeEntryArchive()).string());
    fs::create_directories(Dest() / "Repair" / "a");
    fs::create_directories(Dest() / "Repair" / "b");
    const RunResult run = Kvzip(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int i = 0;
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(fs::exists(Dest() / "Repair" / name / "one.txt"), GetParam().saved[i++]) << name;
    // An archive whose folder was kept is not saved: the run had problems.
    const bool allSaved = GetParam().saved[0];
    EXPECT_EQ(Masked(LogTestFolder::Read(CliLog())).ends_with(kCompletionBanner), allSaved);
    EXPECT_EQ(LogTestFolder::Read(CliLog()).find("Completed with problems") != std::string::npos,
              !allSaved);
}

INSTANTIATE_TEST_SUITE_P(Options, RepairOverwrite,
                         ::testing::Values(OverwriteOption{"yes", {true, true, true}},
                                           OverwriteOption{"no", {false, false, true}},
                                           OverwriteOption{"yes-to-all", {true, true, true}},
                                           OverwriteOption{"no-to-all", {false, false, true}}),
                         [](const auto& test) {
                             std::string name = test.param.option;
                             std::erase(name, '-');
                             return name;
                         });

// Save Current File asks a plain Yes/No question; the option answers it.
TEST_P(RepairOverwrite, AnswersTheCurrentFileQuestion) {
    const auto archive = Archive("b.zip", ThreeEntryArchive());
    fs::create_directories(Dest() / "Repair" / "b");
    const RunResult run =
        Kvzip({"repair", "--dest", Dest().string(), "--current", "1", "--overwrite",
               GetParam().option, "--log", CliLog().string(), archive.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(fs::exists(Dest() / "Repair" / "b" / "one.txt"), GetParam().saved[1]);
    const std::string log = LogTestFolder::Read(CliLog());
    EXPECT_EQ(log.find((Dest() / "Repair" / "b").string()) != std::string::npos,
              GetParam().saved[1]);
}

struct TerminalAnswers {
    const char* label;
    const char* typed; // what the user types, line by line; the end is end of input
    int prompts;
    std::vector<bool> saved; // a (folder exists), b (exists), c (new)
};

class RepairAskOnTerminal : public CliTest,
                            public ::testing::WithParamInterface<TerminalAnswers> {};

// `script` gives kvzip a terminal and passes the typed answers through it.
TEST_P(RepairAskOnTerminal, TakesTheFourAnswers) {
    if (!fs::exists("/usr/bin/script"))
        GTEST_SKIP() << "no script(1) to give the command a terminal";
    std::string command = std::string(KVZIP_BINARY) + " repair --dest " + Dest().string() +
                          " --log " + CliLog().string();
    for (const char* name : {"a", "b", "c"})
        command += " " + Archive(std::string(name) + ".zip", ThreeEntryArchive()).string();
    fs::create_directories(Dest() / "Repair" / "a");
    fs::create_directories(Dest() / "Repair" / "b");
    kvtest::WriteFileBytes(Root() / "typed", GetParam().typed);
    const RunResult run = RunProgram(
        {"/bin/sh", "-c",
         "/usr/bin/script -qec '" + command + "' /dev/null < " + (Root() / "typed").string()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    std::size_t prompts = 0;
    for (std::size_t at = run.out.find("no to all [N]?"); at != std::string::npos;
         at = run.out.find("no to all [N]?", at + 1))
        ++prompts;
    EXPECT_EQ(prompts, static_cast<std::size_t>(GetParam().prompts)) << run.out;
    EXPECT_NE(run.out.find("The file already exist's. Do you want to overwrite files"),
              std::string::npos);
    int i = 0;
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(fs::exists(Dest() / "Repair" / name / "one.txt"), GetParam().saved[i++]) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RepairAskOnTerminal,
    ::testing::Values(TerminalAnswers{"noThenYes", "n\nmaybe\ny\n", 3, {false, true, true}},
                      TerminalAnswers{"yesToAll", "a\n", 1, {true, true, true}},
                      TerminalAnswers{"noToAll", "N\n", 1, {false, false, true}},
                      // Closing the prompt leaves the choice as it was: nothing, so skip.
                      TerminalAnswers{"endOfInput", "", 2, {false, false, true}}),
    [](const auto& test) { return std::string(test.param.label); });

struct ExitCase {
    const char* label;
    std::vector<std::string> args; // "@A" is a sound archive, "@D" the destination
    int exitCode;
};

class ExitCodes : public CliTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodes, TellTheOutcome) {
    const auto archive = Archive("sound.zip", ThreeEntryArchive());
    const auto damaged = Archive("damaged.zip", DamagedArchive());
    const auto noise = Archive("noise.zip", kvtest::NoiseBytes(3000, 5));
    kvtest::WriteFileBytes(Root() / "a-file", "not a folder");
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args)
        args.push_back(arg == "@A"             ? archive.string()
                       : arg == "@B"           ? damaged.string()
                       : arg == "@N"           ? noise.string()
                       : arg.starts_with("@D") ? Dest().string() + arg.substr(2)
                       : arg == "@M"           ? (Root() / "missing.zip").string()
                       : arg == "@L"           ? CliLog().string()
                       : arg.starts_with("@F") ? (Root() / "a-file").string() + arg.substr(2)
                       : arg == "@P"           ? (Dest() / std::string(300, 'p')).string()
                                               : arg);
    const RunResult run = Kvzip(args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ExitCodes,
    ::testing::Values(
        ExitCase{"noCommand", {}, 2}, ExitCase{"unknownCommand", {"mend"}, 2},
        ExitCase{"help", {"--help"}, 0}, ExitCase{"version", {"--version"}, 0},
        ExitCase{"repairHelp", {"repair", "--help"}, 0},
        ExitCase{"analyseHelp", {"analyse", "--help"}, 0},
        ExitCase{"analyseSound", {"analyse", "--log", "@L", "@A"}, 0},
        ExitCase{"analyseMissing", {"analyse", "--log", "@L", "@A", "@M"}, 1},
        ExitCase{"analyseNoArchive", {"analyse", "--log", "@L"}, 2},
        ExitCase{"analyseBadOption", {"analyse", "--dest", "@D", "@A"}, 2},
        ExitCase{
            "repairSound", {"repair", "--dest", "@D", "--overwrite", "no", "--log", "@L", "@A"}, 0},
        ExitCase{"repairMissing",
                 {"repair", "--dest", "@D", "--overwrite", "no", "--log", "@L", "@M", "@A"},
                 1},
        ExitCase{
            "repairOnTwoThreads",
            {"repair", "--dest", "@D", "--overwrite", "no", "--log", "@L", "--jobs", "2", "@A"},
            0},
        ExitCase{"repairJobsZero",
                 {"repair", "--dest", "@D", "--overwrite", "no", "--jobs", "0", "@A"},
                 2},
        ExitCase{"repairNoDest", {"repair", "--overwrite", "no", "@A"}, 2},
        ExitCase{"repairAskWithoutTerminalNothingToAsk",
                 {"repair", "--dest", "@D", "--log", "@L", "@A"},
                 0},
        ExitCase{"repairBadPolicy", {"repair", "--dest", "@D", "--overwrite", "maybe", "@A"}, 2},
        ExitCase{"repairCurrentOutOfRange",
                 {"repair", "--dest", "@D", "--overwrite", "no", "--current", "2", "@A"},
                 2},
        ExitCase{"repairDestMade",
                 {"repair", "-d", "@D/made/here", "--overwrite", "no", "--log", "@L", "@A"},
                 0},
        ExitCase{"repairDestUnderAFile",
                 {"repair", "--dest", "@F/below", "--overwrite", "no", "--log", "@L", "@A"},
                 1},
        // check: 0 every entry verified, 3 one is not, 1 an archive cannot be read.
        ExitCase{"checkHelp", {"check", "--help"}, 0},
        ExitCase{"checkSound", {"check", "@A", "@A"}, 0},
        ExitCase{"checkDamaged", {"check", "@A", "@B"}, 3},
        ExitCase{"checkNoZipData", {"check", "@N", "@B"}, 1},
        ExitCase{"checkMissing", {"check", "@A", "@M"}, 1},
        ExitCase{"checkNoArchive", {"check"}, 2},
        ExitCase{"repairCurrentNotANumber",
                 {"repair", "--dest", "@D", "--overwrite", "no", "--current", "1x", "@A"},
                 2},
        ExitCase{"repairLogIsTheArchive",
                 {"repair", "--dest", "@D", "--overwrite", "no", "--log", "@A", "@A"},
                 2},
        ExitCase{"analyseLogIsTheArchive", {"analyse", "--log", "@A", "@A"}, 2},
        ExitCase{"analyseCharacterDevice", {"analyse", "--log", "@L", "/dev/zero"}, 1},
        ExitCase{"listCharacterDevice", {"list", "/dev/zero"}, 1},
        ExitCase{"listNoZipData", {"list", "@N"}, 1},
        ExitCase{"extractSound", {"extract", "@A", "@D"}, 0},
        ExitCase{"extractMissing", {"extract", "@M", "@D"}, 1},
        ExitCase{"extractIntoAFile", {"extract", "@A", "@F"}, 1},
        ExitCase{"extractPathTooLong", {"extract", "@A", "@P"}, 1},
        ExitCase{"extractOnTwoThreads", {"extract", "--jobs", "2", "@A", "@D"}, 0},
        ExitCase{"extractJobsZero", {"extract", "--jobs", "0", "@A", "@D"}, 2},
        ExitCase{"extractJobsTooMany", {"extract", "--jobs=65", "@A", "@D"}, 2},
        ExitCase{"checkDamagedOnTwoThreads", {"check", "--jobs", "2", "@A", "@B"}, 3},
        // One rule for every command that saves or judges entries: 0 all
        // verified, 3 something saved but not all verified, 1 nothing.
        ExitCase{"extractDamaged", {"extract", "@B", "@D"}, 3},
        ExitCase{"extractNoZipData", {"extract", "@N", "@D"}, 1},
        ExitCase{"extractIntoDashD", {"extract", "-q", "@A", "-d", "@D/new/dir"}, 0},
        ExitCase{"extractDashDAndDir", {"extract", "@A", "@D", "-d", "@D"}, 2},
        ExitCase{"repairDamaged",
                 {"repair", "--dest", "@D", "--overwrite", "yes", "--log", "@L", "@B"},
                 3},
        ExitCase{"repairNoZipData",
                 {"repair", "--dest", "@D", "--overwrite", "yes", "--log", "@L", "@N"},
                 1},
        ExitCase{"checkShortOptions", {"check", "-v", "-j2", "-q", "@A"}, 0},
        ExitCase{"checkTakesNoDest", {"check", "-d", "@D", "@A"}, 2},
        ExitCase{"unknownShortOption", {"check", "-x", "@A"}, 2},
        ExitCase{"versionShort", {"-V"}, 0},
        // A password file without a line end is refused after 64 KiB, not
        // read until memory runs out.
        ExitCase{"passwordFileWithoutALineEnd", {"check", "--password-file", "/dev/zero", "@A"}, 2},
        ExitCase{"nameEncodingBeforeTheCommand", {"--name-encoding", "CP866", "list", "@A"}, 0},
        ExitCase{"nameEncodingUnknown", {"list", "--name-encoding=NO-SUCH", "@A"}, 2},
        ExitCase{"nameEncodingUnknownFirst", {"--name-encoding", "NO-SUCH", "list", "@A"}, 2}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(CliTest, LegacyNamesTakeTheChosenCodePageFromTheOptionOrTheStore) {
    ZipWriter zip;
    zip.Add({.name = "\x8F\xE0\xA8\xA2\xA5\xE2.txt", .content = "cyrillic"});
    zip.AddCentralDirectory(); // the analysis passes over files of 100 bytes or less
    const auto archive = Archive("cp866.zip", zip.Bytes());
    const std::string cp866 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt";
    const std::string cp437 = "\xC3\x85\xCE\xB1\xC2\xBF\xC3\xB3\xC3\x91\xCE\x93.txt";

    const RunResult extract =
        Kvzip({"extract", "--name-encoding", "CP866", archive.string(), (Root() / "out").string()});
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(kvtest::ReadFileBytes(Root() / "out" / cp866), "cyrillic");

    // The desktop passes take the store's NameEncoding; an unknown one is CP437.
    for (const auto& [value, expected] : {std::pair{"CP866", cp866}, std::pair{"BOGUS", cp437}}) {
        kvtest::WriteFileBytes(Root() / "registry.ini",
                               "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=" + Root().string() +
                                   "\nNameEncoding=" + value + "\n");
        const RunResult analyse = Kvzip({"analyse", "--log", CliLog().string(), archive.string()});
        ASSERT_EQ(analyse.exitCode, 0) << analyse.err;
        EXPECT_NE(analyse.out.find(expected), std::string::npos) << value << "\n" << analyse.out;
    }
}

// A tree of what real archives hold: names with capital P and K, blanks and
// non-ASCII letters, empty files, empty folders, text and noise.
std::map<std::string, std::string> WriterTreeFiles() {
    return {
        {"BACKUP.DAT", "backup"},
        {"PACK.TXT", "pack"},
        {"KPI Report.xlsx", kvtest::NoiseBytes(3000, 7)},
        {"Project Kickoff.docx", "kickoff"},
        {"Help/envvar/CMAKE_BUILD_TYPE.rst", "CMAKE_BUILD_TYPE\n----------------\n"},
        {"docs/Kiwi.txt", "kiwi"},
        {"docs/Kind.doc", "kind"},
        {"\xC3\x9Cn\xC3\xAF"
         "code/caf\xC3\xA9.txt",
         "caf\xC3\xA9"},
        {"\xE6\x97\xA5\xE6\x9C\xAC/\xE5\xA0\xB1\xE5\x91\x8A.txt", "report"},
        {"empty.txt", ""},
        {"empty/dir/also-empty", ""},
        {"noise.bin", kvtest::NoiseBytes(150000, 8)},
        {"lines.txt",
         [] {
             std::string text;
             for (int i = 0; i < 20000; ++i)
                 text += "line " + std::to_string(i) + " of a long text file\n";
             return text;
         }()},
    };
}

struct Writer {
    const char* label;
    const char* tool;    // must be installed (jar: skipped without it)
    std::string command; // run in the tree, writes "$OUT"
    // The password the writer encrypted with, when it did.
    const char* password = nullptr;
};

class EveryWriter : public CliTest, public ::testing::WithParamInterface<Writer> {};

TEST_P(EveryWriter, IntactArchiveComesBackWhole) {
    const fs::path tree = Root() / "tree";
    for (const auto& [name, content] : WriterTreeFiles()) {
        fs::create_directories((tree / name).parent_path());
        kvtest::WriteFileBytes(tree / name, content);
    }
    fs::create_directories(tree / "vacant");
    fs::create_directories(tree / "nested/empty/leaf");
    const fs::path archive = Root() / "written.zip";
    const std::string script = std::string("command -v ") + GetParam().tool +
                               " >/dev/null || exit 99; cd \"$1\" && OUT=\"$2\" && " +
                               GetParam().command;
    const RunResult written = RunProgram({"/bin/sh", "-c", "export LC_ALL=C.UTF-8; " + script, "sh",
                                          tree.string(), archive.string()});
    // The build's dependencies bring every writer but a Java runtime: a
    // missing one is a machine set up wrong, not a test to pass over.
    if (written.exitCode == 99 && std::string(GetParam().tool) == "jar")
        GTEST_SKIP() << "jar is not installed";
    ASSERT_NE(written.exitCode, 99)
        << GetParam().tool << " is not installed: run scripts/install-deps.sh";
    ASSERT_EQ(written.exitCode, 0) << written.err;

    // On two threads whatever the machine has: each needs the password too.
    std::vector<std::string> extractArgs = {"extract", "--jobs", "2", archive.string(),
                                            Dest().string()};
    const fs::path passwordFile = Root() / "password";
    if (GetParam().password != nullptr) {
        kvtest::WriteFileBytes(passwordFile, std::string(GetParam().password) + "\n");
        extractArgs.insert(extractArgs.begin() + 1, {"--password-file", passwordFile.string()});
    }
    const RunResult extract = Kvzip(extractArgs);
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    // Every file comes back verified: the summary is all there is to say.
    EXPECT_NE(extract.out.find(" verified, 0 damaged, 0 partial, 0 not saved"), std::string::npos)
        << extract.out;
    EXPECT_EQ(extract.out.find('\n'), extract.out.size() - 1) << extract.out;
    // Every file byte for byte and every folder, under the names they had.
    EXPECT_EQ(Tree(Dest()), Tree(tree)) << extract.out;

    if (GetParam().password != nullptr) {
        // A wrong password is told apart from damage, entry by entry. The
        // traditional cipher has one check byte, so about one wrong password
        // in 256 gets through it for a given entry and decodes to noise, which
        // is damaged or partial; of three wrong passwords one is refused by
        // every entry.
        RunResult wrong;
        for (const char* prefix : {"not", "nor", "nay"}) {
            wrong = RunProgram({"/usr/bin/env",
                                "KVZIP_PASSWORD=" + (prefix + std::string(GetParam().password)),
                                KVZIP_BINARY, "check", archive.string()});
            if (wrong.out.find("  damaged") == std::string::npos &&
                wrong.out.find("  partial") == std::string::npos)
                break;
        }
        EXPECT_EQ(wrong.exitCode, 3) << wrong.out;
        EXPECT_NE(wrong.out.find("not saved noise.bin: wrong password"), std::string::npos)
            << wrong.out;
        EXPECT_EQ(wrong.out.find("  damaged"), std::string::npos) << wrong.out;
        // Cut in the middle: whatever comes back is the files' bytes up to
        // the cut.
        std::string bytes = kvtest::ReadFileBytes(archive).value_or("");
        kvtest::Truncate(bytes, bytes.size() / 2);
        kvtest::WriteFileBytes(Root() / "cut.zip", bytes);
        const RunResult cut = Kvzip({"extract", "--password-file", passwordFile.string(),
                                     (Root() / "cut.zip").string(), (Root() / "cut").string()});
        ASSERT_EQ(cut.exitCode, 3) << cut.err;
        std::size_t files = 0;
        const std::map<std::string, std::string> source = Tree(tree);
        for (const auto& [name, content] : Tree(Root() / "cut")) {
            if (!fs::is_regular_file(Root() / "cut" / name))
                continue;
            ++files;
            EXPECT_EQ(source.at(name).substr(0, content.size()), content) << name;
        }
        EXPECT_GE(files, 2u) << cut.out;
    }

    // The preview lists every entry that another tool lists, folders too
    // (bsdtar's "./" names nothing to make).
    const RunResult listed =
        RunProgram({"/bin/sh", "-c",
                    "command -v bsdtar >/dev/null || exit 99; bsdtar -tf \"$1\" | grep -vxc '\\./'",
                    "sh", archive.string()});
    if (listed.exitCode == 99)
        return;
    const RunResult analyse = Kvzip({"analyse", "--log", CliLog().string(), archive.string()});
    ASSERT_EQ(analyse.exitCode, 0) << analyse.err;
    EXPECT_NE(analyse.out.find("Number Of Files Extracted  :      " + listed.out),
              std::string::npos)
        << analyse.out << "bsdtar lists " << listed.out;
}

const std::string kPythonWriter = "python3 - \"$OUT\" <<'EOF'\n"
                                  "import io, os, sys, zipfile\n"
                                  "class Pipe(io.RawIOBase):\n"
                                  "    def __init__(self, f): self.f = f\n"
                                  "    def writable(self): return True\n"
                                  "    def write(self, b): return self.f.write(b)\n"
                                  "raw = open(sys.argv[1], 'wb')\n"
                                  "target = Pipe(raw) if os.environ.get('STREAM') else raw\n"
                                  "with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                  "    for root, dirs, files in os.walk('.'):\n"
                                  "        for name in sorted(dirs) + sorted(files):\n"
                                  "            z.write(os.path.join(root, name))\n"
                                  "raw.close()\n"
                                  "EOF";

INSTANTIATE_TEST_SUITE_P(
    Writers, EveryWriter,
    ::testing::Values(Writer{"zip", "zip", "zip -qr \"$OUT\" ."},
                      // Written to a pipe, so sizes follow the data.
                      Writer{"zipStreamed", "zip", "zip -qr - . | cat > \"$OUT\""},
                      Writer{"sevenZip", "7z", "7z a -tzip -bd \"$OUT\" . >/dev/null"},
                      Writer{"bsdtar", "bsdtar", "bsdtar --format zip -cf \"$OUT\" ."},
                      Writer{"jar", "jar", "jar cfM \"$OUT\" ."},
                      Writer{"python", "python3", kPythonWriter},
                      // Encrypted: the traditional cipher, also streamed (its
                      // check byte is then the time's), and AES-256.
                      Writer{"zipEncrypted", "zip", "zip -qr -P 'pa ss' \"$OUT\" .", "pa ss"},
                      Writer{"zipEncryptedStreamed", "zip",
                             "zip -qr -P 'pa ss' - . | cat > \"$OUT\"", "pa ss"},
                      Writer{"sevenZipAes256", "7z",
                             "7z a -tzip -bd -p'pa ss' -mem=AES256 \"$OUT\" . >/dev/null", "pa ss"},
                      Writer{"pythonStreamed", "python3", "STREAM=1 " + kPythonWriter}),
    [](const auto& test) { return std::string(test.param.label); });

// -n keeps every file that is there already, -o (the default) writes over it.
TEST_F(CliTest, KeepLeavesExistingFilesAsTheyAre) {
    const auto archive = Archive("sound.zip", ThreeEntryArchive());
    ASSERT_EQ(Kvzip({"extract", "-q", archive.string(), Dest().string()}).exitCode, 0);
    const fs::path first = Dest() / "one.txt";
    kvtest::WriteFileBytes(first, "mine");
    fs::remove(Dest() / "two.txt");
    // Keeping what the user asked to keep is no failure: exit 0, as when
    // every file is there already.
    for (const int run : {1, 2}) {
        const RunResult kept = Kvzip({"extract", "-n", archive.string(), "-d", Dest().string()});
        EXPECT_EQ(kept.exitCode, 0) << kept.err;
        EXPECT_NE(kept.out.find("a file of that name exists and is kept"), std::string::npos)
            << kept.out;
        EXPECT_NE(kept.out.find(run == 1 ? "2 existing files kept" : "3 existing files kept"),
                  std::string::npos)
            << kept.out;
    }
    EXPECT_EQ(kvtest::ReadFileBytes(first), "mine");
    const RunResult written = Kvzip({"extract", "-n", "-o", archive.string(), Dest().string()});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_NE(kvtest::ReadFileBytes(first), "mine");
}

TEST_F(CliTest, AnOutputThatCannotBeWrittenExitsWithOne) {
    const auto archive = Archive("blocked.zip", ThreeEntryArchive());
    fs::create_directories(Dest() / "Repair");
    // A file where the archive's output folder should go.
    kvtest::WriteFileBytes(Dest() / "Repair" / "blocked", "in the way");
    const RunResult run = Kvzip({"repair", "--dest", Dest().string(), "--overwrite", "yes", "--log",
                                 CliLog().string(), archive.string()});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(kvtest::ReadFileBytes(Dest() / "Repair" / "blocked"), "in the way");
    EXPECT_NE(run.err.find("3 not saved"), std::string::npos) << run.err;
}

// Without a terminal, "ask" is refused only when there is a question to ask:
// an output folder that exists already. Nothing is written then.
TEST_F(CliTest, AskWithoutATerminalIsRefusedBeforeAnythingIsWritten) {
    const auto archive = Archive("sound.zip", ThreeEntryArchive());
    const std::vector<std::string> args = {"repair", "--dest",          (Dest() / "new").string(),
                                           "--log",  CliLog().string(), archive.string()};
    const RunResult fresh = Kvzip(args);
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
    EXPECT_TRUE(fs::exists(Dest() / "new/Repair/sound"));
    fs::remove(CliLog());
    const RunResult again = Kvzip(args);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("needs a terminal"), std::string::npos) << again.err;
    EXPECT_FALSE(fs::exists(CliLog()));
}

TEST_F(CliTest, InterruptStopsAtASafePointAndLogsTheAbort) {
    ZipWriter zip;
    for (int i = 0; i < 50000; ++i)
        zip.Add(
            {.name = "e" + std::to_string(i) + ".txt", .content = "entry " + std::to_string(i)});
    const auto archive = Archive("many.zip", zip.Bytes());
    const fs::path first = Dest() / "Repair" / "many" / "e0.txt";
    bool signalled = false;
    const RunResult run = Kvzip({"repair", "--dest", Dest().string(), "--overwrite", "no", "--log",
                                 CliLog().string(), archive.string()},
                                [&](int pid) {
                                    if (!fs::exists(first))
                                        return true;
                                    ::kill(pid, SIGINT);
                                    signalled = true;
                                    return false;
                                });
    ASSERT_TRUE(signalled);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    const std::string log = LogTestFolder::Read(CliLog());
    EXPECT_TRUE(log.ends_with(kAbortBanner)) << log.substr(log.size() > 300 ? log.size() - 300 : 0);
    EXPECT_EQ(log.find("Completed successfully"), std::string::npos);
    // Files already written stay whole; the pass did not run to the end.
    EXPECT_EQ(kvtest::ReadFileBytes(first), "entry 0");
    EXPECT_FALSE(fs::exists(Dest() / "Repair" / "many" / "e49999.txt"));
}

// Whatever way leads an output onto a source archive of the run, the file is
// never opened for writing: that entry is not saved and the run goes on.
TEST_F(CliTest, NoOutputIsWrittenOverASourceOfTheRun) {
    const std::string after = "content of after.txt" + std::string(80, '.');
    const std::string selfContained = ThreeEntryArchive({"self.zip", "after.txt"});

    // The archive lies in the folder it is extracted into.
    const fs::path inDest = Archive("dest/self.zip", selfContained);
    // Saved but for the refused entry: 3.
    RunResult run = Kvzip({"extract", inDest.string(), Dest().string()});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.out.find("not saved self.zip: would overwrite a source archive"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(kvtest::ReadFileBytes(Dest() / "after.txt"), after);

    // The archive lies in its own output folder.
    fs::create_directories(Root() / "y" / "Repair" / "self");
    const fs::path inOutput = Archive("y/Repair/self/self.zip", selfContained);
    run = Kvzip({"repair", "--dest", (Root() / "y").string(), "--overwrite", "yes", "--log",
                 CliLog().string(), inOutput.string()});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(kvtest::ReadFileBytes(Root() / "y" / "Repair" / "self" / "after.txt"), after);

    // Another source of the same run lies in the first one's output folder.
    fs::create_directories(Root() / "z" / "Repair" / "a");
    const fs::path first = Archive("a.zip", ThreeEntryArchive({"b.zip", "after.txt"}));
    const fs::path second = Archive("z/Repair/a/b.zip", ThreeEntryArchive());
    run = Kvzip({"repair", "--dest", (Root() / "z").string(), "--overwrite", "yes", "--log",
                 CliLog().string(), first.string(), second.string()});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(kvtest::ReadFileBytes(Root() / "z" / "Repair" / "a" / "after.txt"), after);
    EXPECT_TRUE(fs::exists(Root() / "z" / "Repair" / "b" / "one.txt"));
}

// A link already below the destination is never followed out of it: the
// entry is not saved and whatever the link points at stays as it was.
TEST_F(CliTest, LinksInTheDestinationAreNotFollowed) {
    fs::create_directories(Root() / "outside");
    kvtest::WriteFileBytes(Root() / "victim.txt", "victim");
    fs::last_write_time(Root() / "victim.txt", fs::file_time_type{});
    const fs::path archive =
        Archive("links.zip", ThreeEntryArchive({"sub/y.txt", "sub/made/", "x.txt", "dangling.txt",
                                                "self.zip", "hard.txt", "ok.txt"}));
    fs::create_directory_symlink("../outside", Dest() / "sub");
    fs::create_symlink("../victim.txt", Dest() / "x.txt");
    fs::create_symlink("../nowhere.txt", Dest() / "dangling.txt");
    fs::create_symlink(archive, Dest() / "self.zip");
    // A hard link is replaced by a file of its own, not written through.
    kvtest::WriteFileBytes(Root() / "hard-victim.txt", "victim");
    fs::create_hard_link(Root() / "hard-victim.txt", Dest() / "hard.txt");

    const RunResult run = Kvzip({"extract", archive.string(), Dest().string()});
    EXPECT_EQ(run.exitCode, 3) << run.out;
    for (const char* name : {"sub/y.txt", "sub/made/", "x.txt", "dangling.txt", "self.zip"})
        EXPECT_NE(run.out.find(std::string("not saved ") + name + ": a link stands in its way"),
                  std::string::npos)
            << run.out;
    EXPECT_TRUE(fs::is_empty(Root() / "outside"));
    EXPECT_EQ(kvtest::ReadFileBytes(Root() / "victim.txt"), "victim");
    EXPECT_EQ(fs::last_write_time(Root() / "victim.txt"), fs::file_time_type{});
    EXPECT_FALSE(fs::exists(Root() / "nowhere.txt"));
    EXPECT_TRUE(fs::is_symlink(Dest() / "x.txt"));
    EXPECT_EQ(kvtest::ReadFileBytes(Root() / "hard-victim.txt"), "victim");
    EXPECT_EQ(kvtest::ReadFileBytes(Dest() / "hard.txt"),
              "content of hard.txt" + std::string(80, '.'));
    EXPECT_TRUE(fs::exists(Dest() / "ok.txt"));
}

// The destination the user names may be a link; Repair and the archive's
// folder below it may not.
TEST_F(CliTest, RepairFollowsTheDestinationLinkButNoLinkBelowIt) {
    const fs::path archive = Archive("stem.zip", ThreeEntryArchive());
    fs::create_directories(Root() / "elsewhere");
    const auto repair = [&](const fs::path& dest) {
        return Kvzip({"repair", "--dest", dest.string(), "--overwrite", "yes", "--log",
                      CliLog().string(), archive.string()});
    };

    fs::create_directory_symlink(Root() / "elsewhere", Dest() / "Repair");
    EXPECT_EQ(repair(Dest()).exitCode, 1);
    EXPECT_TRUE(fs::is_empty(Root() / "elsewhere"));

    fs::create_directory_symlink(Root() / "elsewhere", Root() / "dest-link");
    EXPECT_EQ(repair(Root() / "dest-link").exitCode, 0);
    EXPECT_TRUE(fs::exists(Root() / "elsewhere" / "Repair" / "stem" / "one.txt"));
}

// A disk that fills up: the entry fails, the command says so in its exit
// code, and the bytes counted are the bytes on disk. `ulimit -f` stands in
// for the full disk (in blocks of 512 bytes).
TEST_F(CliTest, ExtractCountsWhatAFullDiskKept) {
    ZipWriter zip;
    zip.Add({.name = "big.bin", .content = kvtest::NoiseBytes(300000, 3)});
    const fs::path archive = Archive("big.zip", zip.Bytes());
    const RunResult run =
        RunProgram({"/bin/sh", "-c",
                    "trap '' XFSZ; ulimit -f 200; exec " + std::string(KVZIP_BINARY) + " extract " +
                        archive.string() + " " + Dest().string()});
    ExpectSourcesUnchanged();
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_EQ(fs::file_size(Dest() / "big.bin"), 102400u);
    EXPECT_NE(run.out.find("partial   big.bin: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(102400 bytes kept"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("102400 bytes written"), std::string::npos) << run.out;
}

// A log that cannot be written does not stop the run; it is warned about once.
TEST_F(CliTest, AnUnwritableLogIsWarnedAboutOnce) {
    const fs::path archive = Archive("sound.zip", ThreeEntryArchive());
    fs::create_directories(Root() / "a-folder");
    for (const fs::path& log : {Root() / "a-folder", Root() / "missing" / "cli.log"}) {
        const RunResult run = Kvzip({"repair", "--dest", Dest().string(), "--overwrite", "yes",
                                     "--log", log.string(), archive.string()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::string warning = "warning: cannot write the activity log " + log.string();
        const std::size_t first = run.err.find(warning);
        EXPECT_NE(first, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(warning, first + 1), std::string::npos) << run.err;
        EXPECT_TRUE(fs::exists(Dest() / "Repair" / "sound" / "one.txt"));
    }
}

struct LargeEntryInterrupt {
    const char* label;
    std::vector<std::string> args; // "@A" the archive, "@D" the destination, "@L" the log
    const char* output; // the entry's file below the destination; null: check writes none
};

class InterruptInsideAnEntry : public CliTest,
                               public ::testing::WithParamInterface<LargeEntryInterrupt> {};

// Ctrl+C is honoured between two chunks of an entry of 1 GiB: its partial
// file is kept, reported partial, and the run ends with 130.
TEST_P(InterruptInsideAnEntry, KeepsThePartialFile) {
    constexpr std::uint32_t kSize = 1u << 30;
    const fs::path archive = SparseArchive("huge.zip", "huge.bin", kSize);
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args)
        args.push_back(arg == "@A"   ? archive.string()
                       : arg == "@D" ? Dest().string()
                       : arg == "@L" ? CliLog().string()
                                     : arg);
    const bool writes = GetParam().output != nullptr;
    const fs::path output = writes ? Dest() / GetParam().output : fs::path();
    bool signalled = false;
    int polls = 0;
    const RunResult run = Kvzip(args, [&](int pid) {
        // check, which writes nothing, is well inside the entry after 100 ms.
        if (writes ? !fs::exists(output) : ++polls < 50)
            return true;
        ::kill(pid, SIGINT);
        signalled = true;
        return false;
    });
    ASSERT_TRUE(signalled);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    if (writes) {
        EXPECT_LT(fs::file_size(output), kSize);
    }
    EXPECT_NE((run.out + run.err).find("interrupted"), std::string::npos) << run.out << run.err;
    if (fs::exists(CliLog())) {
        EXPECT_TRUE(LogTestFolder::Read(CliLog()).ends_with(kAbortBanner));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, InterruptInsideAnEntry,
    ::testing::Values(LargeEntryInterrupt{"extract", {"extract", "@A", "@D"}, "huge.bin"},
                      LargeEntryInterrupt{"check", {"check", "--json", "@A"}, nullptr},
                      LargeEntryInterrupt{
                          "repair",
                          {"repair", "--dest", "@D", "--overwrite", "yes", "--log", "@L", "@A"},
                          "Repair/huge/huge.bin"}),
    [](const auto& test) { return std::string(test.param.label); });

// A second Ctrl+C ends the command at once, even while it waits for an
// answer on the terminal, which the first cannot interrupt.
TEST_F(CliTest, SecondInterruptEndsTheCommandAtOnce) {
    if (!fs::exists("/usr/bin/script"))
        GTEST_SKIP() << "no script(1) to give the command a terminal";
    const fs::path archive = Archive("a.zip", ThreeEntryArchive());
    fs::create_directories(Dest() / "Repair" / "a");
    const fs::path answers = Root() / "answers";
    const fs::path screen = Root() / "screen";
    const fs::path pidFile = Root() / "pid";
    ASSERT_EQ(::mkfifo(answers.c_str(), 0600), 0);
    // Open for writing but never written: the question waits for ever.
    const int typing = ::open(answers.c_str(), O_RDWR | O_CLOEXEC);
    const std::string command = "echo $$ > " + pidFile.string() + "; exec " + KVZIP_BINARY +
                                " repair --dest " + Dest().string() + " --log " +
                                CliLog().string() + " " + archive.string();
    int kvzip = 0;
    int signals = 0;
    bool answersClosed = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const RunResult run = RunProgram(
        {"/bin/sh", "-c",
         "/usr/bin/script -qfec '" + command + "' " + screen.string() + " < " + answers.string()},
        [&](int) {
            if (kvzip <= 1 && std::chrono::steady_clock::now() < giveUp) {
                // Once the question shows, its process is known.
                if (kvtest::ReadFileBytes(screen).value_or("").find("no to all [N]?") !=
                    std::string::npos)
                    kvzip = std::atoi(kvtest::ReadFileBytes(pidFile).value_or("0").c_str());
                return true;
            }
            if (kvzip > 1 && signals < 100) {
                // Each one is sent well after the last was taken.
                ::kill(kvzip, SIGINT);
                ++signals;
                ::usleep(50000);
                return true;
            }
            // Still asking (or never asked): the end of the answers lets it go on.
            ::close(typing);
            answersClosed = true;
            return false;
        });
    if (!answersClosed)
        ::close(typing);
    ExpectSourcesUnchanged();
    EXPECT_FALSE(answersClosed) << "still asking after " << signals << " interrupts";
    EXPECT_EQ(run.exitCode, 130) << run.out;
    EXPECT_EQ(LogTestFolder::Read(CliLog()).find("Completed successfully"), std::string::npos);
}

} // namespace

namespace {

// Hand-made entries as real writers make them: attributes and times in
// the central record and the extra fields, links, long names.
std::string ExtraBlock(std::uint16_t tag, const std::string& bytes) {
    std::string out;
    kvtest::PutLe16(out, tag);
    kvtest::PutLe16(out, static_cast<std::uint16_t>(bytes.size()));
    return out + bytes;
}
std::string UnicodePathBlock(const std::string& stored, const std::string& utf8) {
    std::string body = "\x01";
    kvtest::PutLe32(body, kvtest::Crc32(stored));
    return ExtraBlock(0x7075, body + utf8);
}
std::string TimestampBlock(std::int32_t seconds) {
    std::string body = "\x01";
    kvtest::PutLe32(body, static_cast<std::uint32_t>(seconds));
    return ExtraBlock(0x5455, body);
}
std::string NtfsBlock(std::int64_t seconds) {
    std::string body(4, '\0');
    kvtest::PutLe16(body, 1);
    kvtest::PutLe16(body, 24);
    for (int i = 0; i < 3; ++i)
        kvtest::PutLe64(body, static_cast<std::uint64_t>((seconds + 11644473600) * 10000000));
    return ExtraBlock(0x000a, body);
}

constexpr std::uint16_t kMadeOnUnix = 0x031E;
constexpr std::uint16_t kMadeOnNtfs = 0x0B14;
constexpr std::uint32_t UnixAttributes(std::uint32_t mode) {
    return mode << 16;
}

struct HandMade {
    const char* label;
    std::vector<kvtest::EntrySpec> entries;
    // "name=verdict" of each entry that check and extract report, in order.
    std::string verdicts;
    // Checks on what extract made below the given folder.
    std::function<void(const fs::path&)> onDisk;
    int checkExit = 0;
};

mode_t Umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::int64_t ModifiedSeconds(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mtim.tv_sec;
}

const std::string kLongFolders =
    std::string(250, 'a') + "/" + std::string(250, 'b') + "/" + std::string(250, 'c') + "/";

const HandMade kHandMade[] = {
    {"unicodeNameAfterABrokenField",
     {{.name = "caf\x82.txt",
       .content = "menu",
       .extra = ExtraBlock(0x7075, "\x01\x02") + UnicodePathBlock("caf\x82.txt", "caf\xC3\xA9.txt"),
       .centralExtra = UnicodePathBlock("caf\x82.txt", "caf\xC3\xA9.txt")}},
     "caf\xC3\xA9.txt=verified\n",
     [](const fs::path& out) {
         EXPECT_EQ(kvtest::ReadFileBytes(out / "caf\xC3\xA9.txt"), "menu");
     }},
    {"foldersByAttribute",
     {{.name = "dos", .versionMadeBy = 0x0014, .externalAttributes = 0x10},
      {.name = "dos/inner.txt", .content = "in a DOS folder"},
      {.name = "ntfs", .versionMadeBy = kMadeOnNtfs, .externalAttributes = 0x30},
      {.name = "unix",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(040750),
       .centralExtra = TimestampBlock(86400 * 365)},
      {.name = "unix/inner.txt", .content = "in a Unix folder"},
      // Attributes say folder, but there is data: kept as a file.
      {.name = "notafolder", .content = "data", .versionMadeBy = 0, .externalAttributes = 0x10}},
     "dos=folder\ndos/inner.txt=verified\nntfs=folder\nunix=folder\nunix/inner.txt=verified\n"
     "notafolder=verified\n",
     [](const fs::path& out) {
         EXPECT_TRUE(fs::is_directory(out / "dos"));
         EXPECT_EQ(kvtest::ReadFileBytes(out / "dos" / "inner.txt"), "in a DOS folder");
         EXPECT_TRUE(fs::is_directory(out / "ntfs"));
         EXPECT_TRUE(fs::is_directory(out / "unix"));
         EXPECT_EQ(fs::status(out / "unix").permissions(),
                   static_cast<fs::perms>((0750 & ~Umask()) | 0700));
         EXPECT_EQ(ModifiedSeconds(out / "unix"), 86400 * 365);
         EXPECT_EQ(kvtest::ReadFileBytes(out / "notafolder"), "data");
     }},
    {"linksInsideAreMade",
     {{.name = "bin/tool", .content = "#!/bin/sh\n"},
      {.name = "bin/alias",
       .content = "tool",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0120777)},
      {.name = "lib/up",
       .content = "../bin/tool",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0120777)},
      // A mode a damaged record gave a file's contents: kept as the file.
      {.name = "notes",
       .content = "line one\nline two\n",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0120777)}},
     "bin/tool=verified\nbin/alias=verified\nlib/up=verified\nnotes=verified\n",
     [](const fs::path& out) {
         EXPECT_EQ(kvtest::ReadFileBytes(out / "notes"), "line one\nline two\n");
         ASSERT_TRUE(fs::is_symlink(out / "bin" / "alias"));
         EXPECT_EQ(fs::read_symlink(out / "bin" / "alias"), "tool");
         EXPECT_EQ(fs::read_symlink(out / "lib" / "up"), "../bin/tool");
         EXPECT_EQ(kvtest::ReadFileBytes(out / "lib" / "up"), "#!/bin/sh\n");
     }},
    // A link that would lead out is not made, so the entries after it that
    // go through its name land in a real folder inside.
    {"linksOutsideAreNotMade",
     {{.name = "d",
       .content = "..",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0120777)},
      {.name = "d/x", .content = "stays inside"},
      {.name = "e",
       .content = "/tmp",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0120777)},
      {.name = "e/y", .content = "stays inside too"},
      {.name = "f/g",
       .content = "../../x",
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0120777)}},
     "d=not saved: the link would point outside the destination\nd/x=verified\n"
     "e=not saved: the link would point outside the destination\ne/y=verified\n"
     "f/g=not saved: the link would point outside the destination\n",
     [](const fs::path& out) {
         EXPECT_FALSE(fs::is_symlink(out / "d"));
         EXPECT_EQ(kvtest::ReadFileBytes(out / "d" / "x"), "stays inside");
         EXPECT_EQ(kvtest::ReadFileBytes(out / "e" / "y"), "stays inside too");
         EXPECT_FALSE(fs::exists(out.parent_path() / "x"));
         EXPECT_FALSE(fs::exists(out / "f" / "g"));
     },
     3},
    {"permissionsAndTimes",
     {{.name = "run.sh",
       .content = "#!/bin/sh\n",
       .extra = ExtraBlock(0x5455, "\x01") + TimestampBlock(-300000000),
       .versionMadeBy = kMadeOnUnix,
       .externalAttributes = UnixAttributes(0106777)},
      {.name = "later.txt",
       .content = "from 2150",
       .versionMadeBy = kMadeOnNtfs,
       .externalAttributes = 0x21,
       .centralExtra = NtfsBlock(5680281600)},
      // DOS time 2020-06-01 12:00 and a timestamp decades off: damage.
      {.name = "dos.txt",
       .content = "dos",
       .modTime = 12 << 11,
       .modDate = ((2020 - 1980) << 9) | (6 << 5) | 1,
       .extra = TimestampBlock(1000)}},
     "run.sh=verified\nlater.txt=verified\ndos.txt=verified\n",
     [](const fs::path& out) {
         EXPECT_EQ(fs::status(out / "run.sh").permissions(),
                   static_cast<fs::perms>(0777 & ~Umask()));
         EXPECT_EQ(ModifiedSeconds(out / "run.sh"), -300000000);
         EXPECT_EQ(ModifiedSeconds(out / "later.txt"), 5680281600);
         EXPECT_EQ(fs::status(out / "later.txt").permissions() & fs::perms::owner_write,
                   fs::perms::none);
         EXPECT_NEAR(static_cast<double>(ModifiedSeconds(out / "dos.txt")), 1590969600.0, 86400.0);
     }},
    {"longNames",
     {{.name = kLongFolders + "deep.txt", .content = "deep"},
      {.name = std::string(300, 'p') + ".txt", .content = "too long for a file name"}},
     kLongFolders + "deep.txt=verified\n" + std::string(300, 'p') +
         ".txt=not saved: unsafe path: a part of it is longer than 255 bytes\n",
     [](const fs::path& out) {
         EXPECT_EQ(kvtest::ReadFileBytes(out / (kLongFolders + "deep.txt")), "deep");
     },
     3},
    // An end record and nothing else: no files, nothing damaged.
    // The saving pass takes away an output folder it put nothing in.
    {"emptyArchive",
     {},
     "",
     [](const fs::path& out) { EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out)); }},
    // Its one entry cannot be saved: nothing could be written, 1.
    {"strongEncryption",
     // Enciphered bytes: they do not verify as the plain content either.
     {{.name = "secret.bin",
       .content = "plain text",
       .flags = 0x41,
       .rawData = std::string("\x8f\x13\xd2\x07\x5a\xe1\x90\x3c\x44\xb8", 10)}},
     "secret.bin=not saved: encrypted with a method this program cannot decrypt\n",
     [](const fs::path& out) { EXPECT_FALSE(fs::exists(out / "secret.bin")); },
     1},
};

class MadeByHand : public CliTest, public ::testing::WithParamInterface<HandMade> {};

TEST_P(MadeByHand, IsListedSavedAndJudgedAsItsWriterMadeIt) {
    ZipWriter zip;
    for (const kvtest::EntrySpec& entry : GetParam().entries)
        zip.Add(entry);
    zip.AddCentralDirectory();
    const fs::path archive = Archive("made.zip", zip.Bytes());
    const RunResult list = Kvzip({"list", "--json", archive.string()});
    const RunResult check = Kvzip({"check", "--json", archive.string()});
    const RunResult extract = Kvzip({"extract", "--json", archive.string(), Dest().string()});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(check.exitCode, GetParam().checkExit) << check.out;
    const std::string verdicts = ReadJson(
        {&check, &extract, &list},
        "for e in d[0]['archives'][0]['entries']: print(e['name'] + '=' + e['verdict'] + "
        "(': ' + e['reason'] if e['reason'] else ''))\n"
        "assert [(e['verdict'], e['reason'], e['linkMade']) for e in "
        "d[0]['archives'][0]['entries']]"
        " == [(e['verdict'], e['reason'], e['linkMade']) for e in d[1]['entries']]\n"
        // An entry is one object in all three: list's members, with the
        // same values, in check's and extract's.
        "import re\n"
        "for listed, checked, extracted in zip(d[2]['entries'], d[0]['archives'][0]['entries'], "
        "d[1]['entries'], strict=True):\n"
        "  assert {k: checked[k] for k in listed} == listed == {k: extracted[k] for k in listed}\n"
        "  assert re.fullmatch('[0-9a-f]{8}', listed['storedCrc']), listed\n"
        "  assert re.fullmatch(r'\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d', "
        "listed['modified']), listed\n"
        "  assert listed['debris'] in (True, False)\n");
    EXPECT_EQ(verdicts, GetParam().verdicts);
    if (GetParam().entries.empty()) {
        EXPECT_NE(
            Kvzip({"check", archive.string()}).out.find("an empty archive: it holds no files"),
            std::string::npos);
    }
    GetParam().onDisk(Dest());

    // Links kept as the files they were before links were made.
    const fs::path asFiles = Root() / "as-files";
    fs::create_directory(asFiles);
    Kvzip({"extract", "--keep-links-as-files", archive.string(), asFiles.string()});
    for (const auto& item : fs::recursive_directory_iterator(asFiles))
        EXPECT_FALSE(item.is_symlink()) << item.path();

    const fs::path again = Root() / "again";
    fs::create_directory(again);
    const RunResult repair = Kvzip({"repair", "--dest", again.string(), "--overwrite", "yes",
                                    "--log", CliLog().string(), archive.string()});
    // The same rule as check's.
    EXPECT_EQ(repair.exitCode, GetParam().checkExit) << repair.err;
    GetParam().onDisk(again / "Repair" / "made");
}

INSTANTIATE_TEST_SUITE_P(Writers, MadeByHand, ::testing::ValuesIn(kHandMade),
                         [](const auto& test) { return std::string(test.param.label); });

} // namespace
