// Bad input of every kind: configuration files nobody wrote by hand, list
// lines that are no numbers, user names that try to break the files, and a
// terminal that sends what no terminal should. Each gets a clear answer and
// loses nothing; nothing crashes or hangs.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "HostilePeer.h"
#include "Scenarios.h"
#include "TempDir.h"
#include "core/DeviceConfig.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "core/Text.h"
#include "terminal/Bulk.h"
#include "terminal/Crc.h"
#include "terminal/WireLink.h"

using namespace aktarim;
using namespace aktarim::test;
using namespace std::chrono_literals;

namespace {

// --- cihazlar.ini of any shape ---------------------------------------------

// The lines of a file as the INI reader splits them: at CR LF, LF or a lone CR.
std::vector<std::string> IniLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++pos;
    }
    return lines;
}

std::string RandomIniBytes(uint32_t seed, size_t size) {
    std::mt19937 random(seed);
    // Mostly the characters that matter to the reader, some of anything.
    const std::string favourites = "[]=\r\n ;abcdosyailkntr0123456789\xFD\xFE\xF0";
    std::string bytes;
    for (size_t i = 0; i < size; ++i) {
        const uint32_t r = random();
        bytes += r % 4 == 0 ? static_cast<char>(r >> 8) : favourites[(r >> 8) % favourites.size()];
    }
    return bytes;
}

struct IniCase {
    std::string name;
    std::string bytes;
};

std::vector<IniCase> IniCases() {
    std::vector<IniCase> cases = {
        {"empty", ""},
        {"lf_only",
         "[ayarlar]\ndosya=k.txt\nsilkontrol=0\n[cihaz1]\nadi=X\nbaglantitipi=Ethernet\n"},
        {"bom", "\xEF\xBB\xBF[ayarlar]\r\ndosya=k.txt\r\n[cihaz1]\r\nadi=X\r\n"},
        {"duplicate_sections",
         "[cihaz1]\r\nadi=A\r\n[CIHAZ1]\r\nadi=B\r\n[cihaz2]\r\nadi=C\r\n[ayarlar]\r\n"
         "dosya=a.txt\r\n[Ayarlar]\r\ndosya=b.txt\r\n"},
        {"cr_only", "[ayarlar]\rdosya=k.txt\r[cihaz1]\radi=X\r"},
        {"huge_line", "[ayarlar]\r\nnot=" + std::string(4 << 20, 'x') + "\r\ndosya=k.txt\r\n"},
        {"huge_section_name", "[" + std::string(2 << 20, 'c') + "]\r\nadi=X\r\n"},
        {"huge_value", "[cihaz1]\r\nadi=" + std::string(3 << 20, '\xFD') + "\r\n"},
        {"nul_and_controls", "[ayarlar]\r\ndosya=a" + std::string(1, '\0') +
                                 "b.txt\r\n\x01\x02=\x03\r\n[" + std::string(1, '\0') +
                                 "]\r\n=\r\n"},
        {"no_line_end", "[ayarlar]\r\ndosya=k.txt"},
        {"unclosed_header", "[ayarlar\r\ndosya=k.txt\r\n[cihaz1\r\nadi=X\r\n"},
    };
    for (uint32_t seed = 1; seed <= 40; ++seed)
        cases.push_back(
            {"random_" + std::to_string(seed), RandomIniBytes(seed, 64u << (seed % 8))});
    return cases;
}

TEST(HostileIni, LoadsRewritesAndKeepsEveryLineItDidNotTouch) {
    TempDir dir;
    const std::string path = dir.File("cihazlar.ini");
    for (const IniCase& c : IniCases()) {
        SCOPED_TRACE(c.name);
        WriteAll(path, c.bytes);
        IniFile ini(path);
        const Configuration config = LoadConfiguration(ini);
        EXPECT_LE(config.devices.deviceCount(), kMaxStoredDevices);
        for (int k = 1; k <= config.devices.deviceCount(); ++k)
            for (int f = 0; f < kDeviceFieldCount; ++f)
                EXPECT_LE(Utf8Length(config.devices.at(k).fields[f]), kDeviceFields[f].maxLength);

        ini.WriteString("ayarlar", "dosya", "yeni.txt");
        EXPECT_EQ(IniFile(path).ReadString("ayarlar", "dosya", ""), "yeni.txt");
        // Old lines in their order; only the option's line may have changed,
        // and its section may have been added.
        const std::vector<std::string> before = IniLines(c.bytes);
        const std::string now = ReadAll(path);
        ASSERT_TRUE(now.size() >= 2 && now.substr(now.size() - 2) == "\r\n");
        const std::vector<std::string> after = IniLines(now);
        size_t i = 0, missing = 0;
        for (const std::string& line : after) {
            if (i < before.size() && line == before[i]) {
                ++i;
            } else if (line == "dosya=yeni.txt" || line == "[ayarlar]") {
                if (line == "dosya=yeni.txt" && i < before.size() &&
                    AsciiLower(before[i]).find("dosya") != std::string::npos) {
                    ++i;
                    ++missing;
                }
            } else {
                ADD_FAILURE() << "a line nobody wrote: " << line.substr(0, 80);
                break;
            }
        }
        EXPECT_EQ(i, before.size()) << "lines lost from " << i;
        EXPECT_LE(missing, 1u);
    }
}

TEST(HostileIni, KnownShapesLoadAsDocumented) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string recordFile;
        bool deleteAfter;
        std::vector<std::string> deviceNames;
    };
    const std::array<Case, 4> cases = {{
        {"lf_only",
         "[ayarlar]\ndosya=k.txt\nsilkontrol=0\n[cihaz1]\nadi=X\n",
         "k.txt",
         false,
         {"X"}},
        // The first of duplicate sections (in any letter case) wins.
        {"duplicates",
         "[cihaz1]\r\nadi=A\r\n[CIHAZ1]\r\nadi=B\r\n[cihaz2]\r\nadi=C\r\n",
         "qb400.txt",
         true,
         {"A", "C"}},
        // A UTF-8 byte order mark names the encoding; the first section stays.
        {"bom",
         "\xEF\xBB\xBF[ayarlar]\r\ndosya=k.txt\r\n[cihaz1]\r\nadi=X\r\n",
         "k.txt",
         true,
         {"X"}},
        {"huge_line",
         "[ayarlar]\r\nnot=" + std::string(2 << 20, 'x') + "\r\ndosya=k.txt\r\n",
         "k.txt",
         true,
         {}},
    }};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(dir.File("cihazlar.ini"), c.bytes);
        const Configuration config = LoadConfiguration(IniFile(dir.File("cihazlar.ini")));
        EXPECT_EQ(config.recordFilePath, c.recordFile);
        EXPECT_EQ(config.deleteAfterTransfer, c.deleteAfter);
        std::vector<std::string> names;
        for (int k = 1; k <= config.devices.deviceCount(); ++k)
            names.push_back(config.devices.at(k).name());
        EXPECT_EQ(names, c.deviceNames);
    }
}

// --- personel.ini lines of every kind --------------------------------------

TEST(HostilePersonnelList, EveryLineGivesAKeyOrTheConversionError) {
    using Keys = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string bytes;
        std::variant<Keys, std::string> expected;  // keys, or the error's text
    };
    const std::array<Case, 15> cases = {{
        {"empty file", "", Keys{}},
        {"empty lines count as 0 and are too short", "\r\n\r\n\n", Keys{}},
        {"short lines are skipped", "7\r\n42\r\n", Keys{}},
        {"plain keys", "00012\r\n123\r\n", Keys{"00012", "123"}},
        {"15 characters decide, 10 make the key", "000000000000012345\r\n", Keys{"0000000000"}},
        {"a megabyte of zeros", std::string(1 << 20, '0') + "7\r\n", Keys{"0000000000"}},
        {"too large for 32 bits", "99999999999999999\r\n",
         std::string("'999999999999999' is not a valid integer value")},
        {"just over the top", "2147483648\r\n",
         std::string("'2147483648' is not a valid integer value")},
        {"the lowest", "-2147483648\r\n", Keys{"-214748364"}},
        {"not a digit", "00012\r\n12a45\r\n00034\r\n",
         std::string("'12a45' is not a valid integer value")},
        {"blank in front", "  123\r\n", std::string("'  123' is not a valid integer value")},
        {"code page 1254 letter", "0001\xFD\r\n",
         std::string("'0001ı' is not a valid integer value")},
        {"cr only", "00012\r00034\r", Keys{"00012", "00034"}},
        {"lf only, last line without end", "00012\n00034", Keys{"00012", "00034"}},
        {"sign alone", "-\r\n", std::string("'-' is not a valid integer value")},
    }};
    TempDir home;
    std::filesystem::create_directories(home.File("personel"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(home.File("personel/personel.ini"), c.bytes);
        PersonnelStore store(home.path());
        store.OpenStore();
        if (const Keys* keys = std::get_if<Keys>(&c.expected)) {
            EXPECT_EQ(store.ReadPersonnelList(), *keys);
        } else {
            try {
                store.ReadPersonnelList();
                ADD_FAILURE() << "no error";
            } catch (const AppError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Conversion);
                EXPECT_EQ(std::string(e.what()), std::get<std::string>(c.expected));
            }
        }
        EXPECT_EQ(ReadAll(home.File("personel/personel.ini")), c.bytes);  // reading never writes
    }
    // NUL bytes: the conversion error too (its text ends where what() stops).
    WriteAll(home.File("personel/personel.ini"), std::string(3, '\0') + "\r\n");
    PersonnelStore store(home.path());
    store.OpenStore();
    try {
        store.ReadPersonnelList();
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
    }
}

// --- user names that try to break the store ---------------------------------

TEST(HostileUserNames, EachIsOneValueThatReadsBackAndForgesNoSection) {
    struct Case {
        int32_t number;
        std::string name;
        std::string stored;  // as it reads back: CR and LF blank, trimmed, '?' outside 1254
    };
    const std::array<Case, 9> cases = {{
        {1, "Ali\r\n[00099]\r\nisim=Sahte", "Ali  [00099]  isim=Sahte"},
        {2, "Veli\n[00001]", "Veli [00001]"},
        {3, "[00003]", "[00003]"},
        {4, "a=b=c", "a=b=c"},
        {5, "]", "]"},
        {6, "Zoë 日本 Ω €", "Zoë ?? ? €"},
        {7, "  Ayşe Çiğdem  ", "Ayşe Çiğdem"},
        {8, "\r", ""},
        {9, "x\r\nparmakizi0=" + std::string(40, 'F'), "x  parmakizi0=" + std::string(40, 'F')},
    }};
    MemoryTerminal terminal;
    for (const Case& c : cases) terminal.WriteUser(c.number, c.name, c.name, 0, true);
    TempDir home;
    PersonnelStore store(home.path());
    MemoryLink link(terminal);
    ConnectionState state;
    state.link.linkType = 1;
    state.link.linkIpAddress = "127.0.0.1";
    state.link.linkIpPort = 4370;
    state.link.linkMachineNumber = 1;
    GridModel grid{TerminalGridColumns()};
    GridModel griddisk{StoreGridColumns()};
    NullPersonnelView view;
    PersonnelCommands commands(grid, griddisk, store, link, state, view);
    commands.ConnectTerminal();
    commands.LoadBothLists();
    commands.TickAllTerminalRows();
    commands.CopyPersonnelToStore();
    commands.Exit();

    // A fresh reading of the files, as the next start of the program does.
    PersonnelStore again(home.path());
    again.OpenStore();
    std::vector<std::string> keys;
    for (const Case& c : cases) keys.push_back(PersonnelKey(c.number));
    EXPECT_EQ(again.ReadPersonnelList(), keys);
    EXPECT_EQ(IniFile(again.detailsPath()).SectionNames(), keys);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const PersonRecord person = again.ReadPerson(PersonnelKey(c.number));
        EXPECT_EQ(person.isim, c.stored);
        EXPECT_EQ(person.sifre, c.stored);
        EXPECT_EQ(person.fingerprintMark, 0);
    }
    // Every line of the details file is a header of a key or one of the five values.
    for (const std::string& line : IniLines(ReadAll(again.detailsPath()))) {
        const bool header = line.size() == 7 && line.front() == '[' && line.back() == ']';
        const std::string key = line.substr(0, line.find('='));
        const bool value = key == "isim" || key == "yetki" || key == "kartno" || key == "sifre";
        EXPECT_TRUE(header || value) << line;
    }
}

// --- a terminal that breaks the protocol -----------------------------------

constexpr int32_t kMachine = 7;

LinkOptions ShortTimeouts() {
    LinkOptions options;
    options.connectTimeout = 500ms;
    options.requestTimeout = 300ms;
    options.idleTimeout = 300ms;
    return options;
}

HostilePeer::Bytes Reply(const wire::Frame& request, int32_t machine,
                         const HostilePeer::Bytes& payload) {
    return HostilePeer::FrameBytes(machine, static_cast<uint8_t>(request.code | wire::kReplyBit),
                                   request.seq, payload);
}

// A header that checks out but announces more payload than any frame may carry.
HostilePeer::Bytes OversizedHeader(const wire::Frame& request, uint32_t length) {
    HostilePeer::Bytes h = {wire::kMarker0, wire::kMarker1};
    const auto le = [&h](uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    le(static_cast<uint32_t>(kMachine), 4);
    h.push_back(static_cast<uint8_t>(request.code | wire::kReplyBit));
    le(request.seq, 2);
    le(length, 4);
    le(wire::Crc16Ccitt(h), 2);
    h.resize(h.size() + 4096, 0x5A);
    return h;
}

HostilePeer::Bytes Chunk(const wire::Frame& request, int32_t machine, uint32_t index) {
    wire::PayloadWriter w;
    w.Count(index);
    w.Count(1);
    wire::Encode(w, wire::AttendanceItem{static_cast<int32_t>(index), 1, 0, 2024, 3, 4, 8, 0});
    return HostilePeer::FrameBytes(machine, wire::kChunkCode, request.seq, w.bytes());
}

using Answer = std::function<void(const wire::Frame&, HostilePeer::Sender&)>;

struct PeerCase {
    const char* name;
    bool load;  // LoadAttendanceLog, else GetStatusValue
    LinkFailureKind failure;
    Answer answer;
};

std::vector<PeerCase> PeerCases() {
    const auto status7 = wire::OkReply(wire::IntValue{7});
    const auto endless = wire::OkReply(wire::BulkBegin{0xFFFFFFFFu, 0xFFFFFFFFu});
    return {
        {"length over the cap", false, LinkFailureKind::Timeout,
         [](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(OversizedHeader(f, 0x7FFFFFFFu));
         }},
        {"length one over the cap", false, LinkFailureKind::Timeout,
         [](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(OversizedHeader(f, static_cast<uint32_t>(wire::kMaxPayload + 1)));
         }},
        {"bad frame check", false, LinkFailureKind::Timeout,
         [status7](const wire::Frame& f, HostilePeer::Sender& s) {
             auto bytes = Reply(f, kMachine, status7);
             bytes.back() ^= 0x01;
             s.Send(bytes);
         }},
        {"another machine answers", false, LinkFailureKind::WrongMachine,
         [status7](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(Reply(f, kMachine + 1, status7));
         }},
        {"garbage trickles on", false, LinkFailureKind::Timeout,
         [](const wire::Frame&, HostilePeer::Sender& s) {
             while (s.Send({0x00, 0xA5})) std::this_thread::sleep_for(20ms);
         }},
        {"replies for another machine trickle on", false, LinkFailureKind::WrongMachine,
         [status7](const wire::Frame& f, HostilePeer::Sender& s) {
             while (s.Send(Reply(f, kMachine + 1, status7))) std::this_thread::sleep_for(20ms);
         }},
        {"load: chunks from another machine", true, LinkFailureKind::WrongMachine,
         [](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(Reply(f, kMachine, wire::OkReply(wire::BulkBegin{3, 3})));
             for (uint32_t i = 0; i < 3; ++i) s.Send(Chunk(f, kMachine + 1, i));
         }},
        {"load: a chunk with a bad check", true, LinkFailureKind::Protocol,
         [](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(Reply(f, kMachine, wire::OkReply(wire::BulkBegin{3, 3})));
             auto bad = Chunk(f, kMachine, 1);
             bad[bad.size() - 5] ^= 0x40;
             s.Send(Chunk(f, kMachine, 0));
             s.Send(bad);
             s.Send(Chunk(f, kMachine, 2));
         }},
        {"load: the end never comes", true, LinkFailureKind::Timeout,
         [](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(Reply(f, kMachine, wire::OkReply(wire::BulkBegin{2, 2})));
             s.Send(Chunk(f, kMachine, 0));
             s.Send(Chunk(f, kMachine, 1));
         }},
        {"load: chunks that never end", true, LinkFailureKind::Protocol,
         [endless](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(Reply(f, kMachine, endless));
             for (uint32_t i = 0; s.Send(Chunk(f, kMachine, i)); ++i) {
             }
         }},
        {"load: chunks that never end, slowly", true, LinkFailureKind::Protocol,
         [endless](const wire::Frame& f, HostilePeer::Sender& s) {
             s.Send(Reply(f, kMachine, endless));
             for (uint32_t i = 0; s.Send(Chunk(f, kMachine, i)); ++i)
                 std::this_thread::sleep_for(20ms);
         }},
    };
}

TEST(HostilePeerFrames, EveryCallAnswersFalseWithinItsTimeout) {
    for (const PeerCase& c : PeerCases()) {
        SCOPED_TRACE(c.name);
        HostilePeer peer(
            [&c](const wire::Frame& f, HostilePeer::Sender& s) {
                if (f.code == wire::RequestCode(wire::Code::Hello)) {
                    s.Send(Reply(
                        f, kMachine,
                        wire::OkReply(wire::HelloReply{wire::kProtocolVersion, kMachine, 65536})));
                    return;
                }
                c.answer(f, s);
            },
            3s);
        WireLink link(ShortTimeouts());
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", peer.port));
        const auto start = std::chrono::steady_clock::now();
        int32_t value = -1;
        const bool answered =
            c.load ? link.LoadAttendanceLog(kMachine) : link.GetStatusValue(kMachine, 6, value);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(answered);
        EXPECT_EQ(link.LastFailure().kind, c.failure) << LinkFailureText(link.LastFailure());
        EXPECT_EQ(value, -1);
        EXPECT_LT(took, 2s) << "the call followed the peer for "
                            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                            << " ms";
        AttendanceValues record;
        EXPECT_FALSE(link.NextAttendanceRecord(kMachine, record)) << "a partial log was kept";
        EXPECT_FALSE(link.IsConnected());
    }
}

}  // namespace
