#include "store/clock_time.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/ini_file.h"
#include "store/profile_encoding.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace fs = std::filesystem;
using korvane::TIniFile;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::string expected; // "<default>" when the default must come back
};

class ReadTextTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTextTest, ReadsWhatTheFileSays) {
    const ReadCase& c = GetParam();
    // Rows whose names end in "Utf8Files" hold UTF-8 bytes without a byte
    // order mark, which only UTF-8 systems read as such.
    if (std::string_view(c.name).ends_with("Utf8Files") &&
        korvane::ProfileBytesToText("\xC3\xBC") != "\xC3\xBC") {
        GTEST_SKIP() << "profile files here are in an ANSI code page";
    }
    TempDir dir;
    WriteFile(dir / "f.ini", c.file);
    TIniFile ini(dir / "f.ini");
    EXPECT_EQ(ini.ReadText(c.section, c.key, "<default>"), c.expected);
}

const std::string kNul("a\0b", 3);

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadTextTest,
    ::testing::Values(
        ReadCase{"plain", "[A]\r\nk=v\r\n", "A", "k", "v"},
        ReadCase{"emptyValueIsNotDefault", "[A]\r\nk=\r\n", "A", "k", ""},
        ReadCase{"absentKey", "[A]\r\nk=v\r\n", "A", "x", "<default>"},
        ReadCase{"absentSection", "[A]\r\nk=v\r\n", "B", "k", "<default>"},
        ReadCase{"sectionCaseInsensitive", "[Work]\r\nk=v\r\n", "WORK", "K", "v"},
        ReadCase{"nonAsciiCaseInsensitiveUtf8Files", "[Übung Ärger]\r\nk=v\r\n", "üBUNG äRGER", "k",
                 "v"},
        ReadCase{"cyrillicCaseUtf8Files", "[Работа]\r\nk=v\r\n", "РАБОТА", "k", "v"},
        ReadCase{"spacesTrimmed", "  [ A ]  \r\n  k  =  v w  \r\n", "A", "k", "v w"},
        ReadCase{"doubleQuotesStripped", "[A]\r\nk=\"v w\"\r\n", "A", "k", "v w"},
        ReadCase{"singleQuotesStripped", "[A]\r\nk='v'\r\n", "A", "k", "v"},
        ReadCase{"unbalancedQuotesKept", "[A]\r\nk=\"v'\r\n", "A", "k", "\"v'"},
        ReadCase{"valueWithEquals", "[A]\r\nk=a=b\r\n", "A", "k", "a=b"},
        ReadCase{"firstDuplicateSectionCounts", "[A]\r\nk=1\r\n[a]\r\nk=2\r\nj=3\r\n", "A", "j",
                 "<default>"},
        ReadCase{"firstDuplicateKeyCounts", "[A]\r\nk=1\r\nK=2\r\n", "A", "k", "1"},
        ReadCase{"lfOnlyLines", "[A]\nk=v\n[B]\nk=w\n", "B", "k", "w"},
        ReadCase{"noFinalNewline", "[A]\r\nk=v", "A", "k", "v"},
        ReadCase{"byteOrderMark", "\xEF\xBB\xBF[A]\r\nk=v\r\n", "A", "k", "v"},
        ReadCase{"linesWithoutEqualsIgnored", "[A]\r\ngarbage\r\n\r\nk=v\r\n", "A", "k", "v"},
        ReadCase{"bracketInName", "[Work [home]]\r\nk=v\r\n", "Work [home]", "k", "v"},
        ReadCase{"nulBytesInValue", "[A]\r\nk=" + kNul + "\r\n", "A", "k", kNul},
        ReadCase{"invalidUtf8Files", "[\xFF\xFE]\r\nk=\xC3\r\n", "\xFF\xFE", "k", "\xC3"},
        ReadCase{"keyBeforeAnySection", "k=v\r\n[A]\r\n", "A", "k", "<default>"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberCase {
    const char* name;
    const char* text; // nullptr: key absent
    int expected;     // with default 7
    bool flag;        // ReadFlag with default false
};

class ReadNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTest, ConvertsLikeTheFileFormatSays) {
    const NumberCase& c = GetParam();
    TempDir dir;
    WriteFile(dir / "f.ini", c.text ? std::string("[A]\r\nk=") + c.text + "\r\n" : "[A]\r\n");
    TIniFile ini(dir / "f.ini");
    EXPECT_EQ(ini.ReadNumber("A", "k", 7), c.expected);
    EXPECT_EQ(ini.ReadFlag("A", "k", false), c.flag);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadNumberTest,
    ::testing::Values(
        NumberCase{"decimal", "42", 42, true}, NumberCase{"negative", "-1", -1, true},
        NumberCase{"hex0x", "0x1F", 31, true}, NumberCase{"hexDollar", "$1F", 31, true},
        NumberCase{"hex0X", "0X10", 16, true}, NumberCase{"zero", "0", 0, false},
        NumberCase{"two", "2", 2, true}, NumberCase{"hexAllOnes", "$FFFFFFFF", -1, true},
        NumberCase{"trailingLetters", "12ab", 7, false}, NumberCase{"word", "yes", 7, false},
        NumberCase{"wordTrue", "true", 7, false}, NumberCase{"empty", "", 7, false},
        NumberCase{"absent", nullptr, 7, false}, NumberCase{"tooLarge", "2147483648", 7, false},
        NumberCase{"smallest", "-2147483648", -2147483647 - 1, true},
        NumberCase{"lonelyZeroX", "0x", 7, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TIniFileTest, WritesKeepEveryOtherLineAndTheOrderRules) {
    TempDir dir;
    const fs::path file = dir / "f.ini";
    WriteFile(file, "; my notes\n[A]\nk1 = one\n\n[B]\nx=1\n");
    TIniFile ini(file);
    ini.WriteText("a", "k2", "two");  // new key: end of its section, before the blank line
    ini.WriteText("A", "K1", "uno");  // rewrite in place, the key keeps its spelling
    ini.WriteText("C", "c", "three"); // new section: end of the file
    EXPECT_EQ(ReadFile(file),
              "; my notes\r\n[A]\r\nk1=uno\r\nk2=two\r\n\r\n[B]\r\nx=1\r\n[C]\r\nc=three\r\n");
    EXPECT_EQ(ini.ListSections(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(ini.ListKeys("A"), (std::vector<std::string>{"k1", "k2"}));
    EXPECT_EQ(ini.ListPairs("a"), (std::vector<std::string>{"k1=uno", "k2=two"}));
}

TEST(TIniFileTest, HandEditedBytesSurviveAnUnrelatedWrite) {
    TempDir dir;
    const fs::path file = dir / "f.ini";
    const std::string odd = std::string("\xEF\xBB\xBF[\xFF]\r\nk=\0\x01\xC3\r\n", 15);
    WriteFile(file, odd + "[A]\r\nx=1");
    TIniFile ini(file);
    ini.WriteText("A", "y", "2");
    EXPECT_EQ(ReadFile(file), odd + "[A]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(ini.ReadText("\xFF", "k", "-"), std::string("\0\x01\xC3", 3));
}

TEST(TIniFileTest, RemovesSectionsAndKeysWholly) {
    TempDir dir;
    WriteFile(dir / "f.ini", "[A]\r\nk=1\r\nk=2\r\nj=3\r\n[B]\r\nk=1\r\n[a]\r\nk=9\r\n");
    TIniFile ini(dir / "f.ini");
    ini.RemoveKey("A", "K");
    EXPECT_EQ(ini.ReadText("A", "k", "-"), "-"); // the duplicate does not show up instead
    EXPECT_EQ(ini.ReadText("A", "j", "-"), "3");
    ini.RemoveSection("a");
    EXPECT_EQ(ini.ListSections(), std::vector<std::string>{"B"});
    EXPECT_EQ(ini.ReadText("A", "j", "-"), "-");
    ini.RemoveKey("Nowhere", "k"); // nothing to do, no error
    ini.RemoveSection("Nowhere");
    EXPECT_EQ(ReadFile(dir / "f.ini"), "[B]\r\nk=1\r\n");
}

TEST(TIniFileTest, MissingFileReadsEmptyAndIsCreatedByTheFirstWrite) {
    TempDir dir;
    TIniFile ini(dir / "new.ini");
    EXPECT_TRUE(ini.ListSections().empty());
    EXPECT_TRUE(ini.ListKeys("A").empty());
    EXPECT_FALSE(fs::exists(dir / "new.ini"));
    ini.WriteNumber("A", "n", -12);
    ini.WriteFlag("A", "f", true);
    EXPECT_EQ(ReadFile(dir / "new.ini"), "[A]\r\nn=-12\r\nf=1\r\n");
}

TEST(TIniFileTest, LongValuesAreCutAtWholeCharacters) {
    TempDir dir;
    TIniFile ini(dir / "f.ini");
    ini.WriteText("A", "ascii", std::string(3000, 'x'));
    EXPECT_EQ(ini.ReadText("A", "ascii", ""), std::string(2047, 'x'));
    std::string umlauts;
    for (int i = 0; i < 3000; ++i) {
        umlauts += "ä";
    }
    ini.WriteText("A", "umlauts", umlauts);
    EXPECT_EQ(ini.ReadText("A", "umlauts", ""), umlauts.substr(0, 2047 * 2));
}

TEST(TIniFileTest, NameListsStopAt16384Bytes) {
    TempDir dir;
    std::string file;
    // 1000 names of 15 bytes take 16000 bytes with their terminators.
    for (int i = 0; i < 1000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Batch %09d", i);
        file += std::string("[") + name + "]\r\n";
    }
    file += "[" + std::string(500, 'y') + "]\r\n[after]\r\n";
    WriteFile(dir / "f.ini", file);
    TIniFile ini(dir / "f.ini");
    const auto names = ini.ListSections();
    ASSERT_EQ(names.size(), 1001u);
    EXPECT_EQ(names[999], "Batch 000000999");
    EXPECT_EQ(names[1000], std::string(16384 - 1 - 16000 - 1, 'y')); // cut short, then nothing
}

TEST(TIniFileTest, RefusesWhatWouldBreakTheFile) {
    TempDir dir;
    TIniFile ini(dir / "f.ini");
    ini.WriteText("A", "k", "old");
    for (const char* bad : {"line\r\nbreak", "lf\nonly", "cr\ronly"}) {
        EXPECT_THROW(ini.WriteText("A", "k", bad), korvane::ValueError) << bad;
        EXPECT_THROW(ini.WriteText(bad, "k", "v"), korvane::ValueError) << bad;
    }
    EXPECT_THROW(ini.WriteText("A", "k=x", "v"), korvane::ValueError);
    EXPECT_EQ(ReadFile(dir / "f.ini"), "[A]\r\nk=old\r\n");
}

TEST(TIniFileTest, WriteFailuresNameTheFileAndLeaveNoTrace) {
    TempDir dir;
    fs::create_directory(dir / "batches.lst"); // a folder where the file should be
    struct Case {
        fs::path file;
    } cases[] = {{dir / "batches.lst"}, {dir / "missing" / "f.ini"}};
    for (const Case& c : cases) {
        TIniFile ini(c.file);
        try {
            ini.WriteText("A", "k", "v");
            ADD_FAILURE() << "no error for " << c.file;
        } catch (const korvane::WriteError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + c.file.string());
        }
        EXPECT_NO_THROW(ini.RemoveKey("A", "k"));
    }
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1); // only the folder itself: no temporary left behind
}

TEST(TIniFileTest, SeesAnotherWritersChangesAtOnce) {
    TempDir dir;
    TIniFile reader(dir / "f.ini");
    TIniFile writer(dir / "f.ini");
    EXPECT_EQ(reader.ReadText("A", "k", "-"), "-");
    writer.WriteText("A", "k", "1");
    EXPECT_EQ(reader.ReadText("A", "k", "-"), "1");
    writer.WriteText("A", "k", "2"); // same size, new file
    EXPECT_EQ(reader.ReadText("A", "k", "-"), "2");
    WriteFile(dir / "f.ini", "[A]\r\nk=hand\r\n"); // an edit in place
    EXPECT_EQ(reader.ReadText("A", "k", "-"), "hand");
}

TEST(TIniFileTest, TwoWritersAtOnceKeepAllTheirKeys) {
    // Each writer has its own file object, as two programs would; the folder
    // lock keeps their read-modify-write cycles apart.
    TempDir dir;
    const fs::path file = dir / "shared.ini";
    std::vector<std::thread> writers;
    for (int p = 0; p < 2; ++p) {
        writers.emplace_back([&file, p] {
            TIniFile ini(file);
            for (int i = 0; i < 100; ++i) {
                ini.WriteNumber("P" + std::to_string(p), "k" + std::to_string(i), i);
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    TIniFile ini(file);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(ini.ListKeys("P" + std::to_string(p)).size(), 100u);
    }
}

TEST(TIniFileTest, TypedValuesRoundTrip) {
    TempDir dir;
    korvane::SetUserTimeFormat(korvane::TimeFormat{});
    TIniFile ini(dir / "f.ini");
    ini.WriteClockTime("A", "t", 90.0 / 86400.0);
    EXPECT_EQ(ini.ReadText("A", "t", ""), "0:01:30");
    EXPECT_DOUBLE_EQ(ini.ReadClockTime("A", "t", -1.0), 90.0 / 86400.0);
    ini.WriteText("A", "bad", "soon");
    EXPECT_EQ(ini.ReadClockTime("A", "bad", -1.0), -1.0);
    EXPECT_EQ(ini.ReadClockTime("A", "absent", -2.0), -2.0);
    ini.WriteReal("A", "r", 0.75);
    ini.WriteReal("A", "third", 1.0 / 3.0);
    EXPECT_EQ(ini.ReadText("A", "r", ""), "0.75");
    EXPECT_EQ(ini.ReadText("A", "third", ""), "0.333333333333333");
}

// A value the file holds already is not written again: no rewrite, so
// another process's file watch sees nothing and a read-only state costs no
// error. A value held in another spelling is written as the file would be.
TEST(TIniFileTest, AWriteOfTheValueHeldRewritesNothing) {
    TempDir dir;
    const fs::path file = dir / "f.ini";
    WriteFile(file, "[Debug-Form1]\r\nMark1=Yes\r\n[A]\r\nk = v\r\n");
    TIniFile ini(file);
    const auto before = korvane::IdentifyFile(file);
    ini.WriteText("Debug-Form1", "Mark1", "Yes");
    ini.WriteText(" debug-form1 ", "MARK1", "Yes"); // the key keeps its name
    EXPECT_EQ(korvane::IdentifyFile(file), before);
    ini.WriteText("A", "k", "v"); // "k = v" is not the line a write makes
    EXPECT_EQ(ReadFile(file), "[Debug-Form1]\r\nMark1=Yes\r\n[A]\r\nk=v\r\n");
    ini.WriteText("Debug-Form1", "Mark1", "yes");
    EXPECT_EQ(ini.ReadText("Debug-Form1", "Mark1", ""), "yes");
}

// Reads under a held version see the file as the first of them found it,
// whatever another writer does meanwhile; once let go, the file as it is.
TEST(TIniFileTest, AHeldVersionReadsOneVersion) {
    TempDir dir;
    const fs::path file = dir / "f.ini";
    WriteFile(file, "[A]\r\nk=1\r\n[B]\r\nk=1\r\n");
    TIniFile reader(file);
    TIniFile writer(file);
    {
        const TIniFile::HeldVersion held(reader);
        EXPECT_EQ(reader.ReadText("A", "k", ""), "1");
        writer.WriteText("B", "k", "2");
        EXPECT_EQ(reader.ReadText("B", "k", ""), "1");
        {
            const TIniFile::HeldVersion inner(reader);
            EXPECT_EQ(reader.ReadText("B", "k", ""), "1");
        }
        EXPECT_EQ(reader.ReadText("B", "k", ""), "1"); // still held by the outer one
        reader.WriteText("A", "k", "3");               // its own writes it sees
        EXPECT_EQ(reader.ReadText("A", "k", ""), "3");
        EXPECT_EQ(reader.ReadText("B", "k", ""), "2");
    }
    writer.WriteText("B", "k", "4");
    EXPECT_EQ(reader.ReadText("B", "k", ""), "4");
}

} // namespace
