// Profile files on Windows are in the ANSI code page (here Windows-1252,
// what Wine and western Windows installations use).
#include "store/errors.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

using korvane::TIniFile;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

class ProfileEncodingWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (GetACP() != 1252) {
            GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not 1252";
        }
    }
    TempDir dir_;
};

TEST_F(ProfileEncodingWindowsTest, WritesTheCodePageWithCrLf) {
    TIniFile ini(dir_ / "batches.lst");
    ini.WriteText("Grüße", "ID", "7");
    ini.WriteText("Grüße", "Item0", "File;0\\;Active");
    EXPECT_EQ(ReadFile(dir_ / "batches.lst"), "[Gr\xFC\xDF"
                                              "e]\r\nID=7\r\nItem0=File;0\\;Active\r\n");
    EXPECT_EQ(ini.ListSections(), std::vector<std::string>{"Grüße"});
}

TEST_F(ProfileEncodingWindowsTest, ReadsFilesOtherCopiesWrote) {
    WriteFile(dir_ / "batches.lst", "[\xC9t\xE9]\r\nID=3\r\n[Caf\xE9 \x80]\r\nID=4\r\n");
    TIniFile ini(dir_ / "batches.lst");
    EXPECT_EQ(ini.ListSections(), (std::vector<std::string>{"Été", "Café €"}));
    EXPECT_EQ(ini.ReadText("été", "ID", ""), "3"); // names ignore case beyond a to z
    ini.WriteText("Café €", "ID", "5");
    EXPECT_EQ(ReadFile(dir_ / "batches.lst"), "[\xC9t\xE9]\r\nID=3\r\n[Caf\xE9 \x80]\r\nID=5\r\n");
}

TEST_F(ProfileEncodingWindowsTest, EveryByteSurvivesAnUnrelatedWrite) {
    std::string odd = "[A]\r\nk=";
    for (int b = 0x20; b <= 0xFF; ++b) {
        odd += static_cast<char>(b);
    }
    odd += "\r\n";
    WriteFile(dir_ / "f.ini", odd);
    TIniFile ini(dir_ / "f.ini");
    ini.WriteText("B", "x", "1");
    EXPECT_EQ(ReadFile(dir_ / "f.ini"), odd + "[B]\r\nx=1\r\n");
}

TEST_F(ProfileEncodingWindowsTest, FilesMarkedAsUtf8StayUtf8) {
    WriteFile(dir_ / "f.ini", "\xEF\xBB\xBF[\xC3\x89t\xC3\xA9]\r\nID=1\r\n");
    TIniFile ini(dir_ / "f.ini");
    EXPECT_EQ(ini.ReadText("été", "ID", ""), "1");
    ini.WriteText("Été", "Note", "café");
    EXPECT_EQ(ReadFile(dir_ / "f.ini"),
              "\xEF\xBB\xBF[\xC3\x89t\xC3\xA9]\r\nID=1\r\nNote=caf\xC3\xA9\r\n");
}

TEST_F(ProfileEncodingWindowsTest, TextTheCodePageCannotHoldIsRefused) {
    TIniFile ini(dir_ / "batches.lst");
    ini.WriteText("Keep", "ID", "1");
    const std::string before = ReadFile(dir_ / "batches.lst");
    EXPECT_THROW(ini.WriteText("Ωmega", "ID", "2"), korvane::ValueError);
    EXPECT_THROW(ini.WriteText("Keep", "Note", "日本"), korvane::ValueError);
    EXPECT_EQ(ReadFile(dir_ / "batches.lst"), before);
}

} // namespace
