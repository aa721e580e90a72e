#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HelpFile.h"
#include "VerInfo.h"
#include "VersionResource.h"
#include "testing/test_util.h"

namespace {

const std::string kEntries =
    "\\VarFileInfo\\Translation=080404b0\n"
    "\\StringFileInfo\\080404b0\\ProductVersion=2.5.1\n"
    "\\StringFileInfo\\080404b0\\PrivateBuild=test build\n"
    "\\StringFileInfo\\080404b0\\LegalTrademarks=\n";

std::string blockOf(const std::string& entries) {
    return std::string(verres::kBlockBegin) + entries + verres::kBlockEnd;
}

std::vector<uint8_t> bytesOf(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(VerInfo, OurProgramCarriesItsVersion) {
    CVerInfo info;
    ASSERT_EQ(info.load(KINOLITE_GUI_PROGRAM), 1);
    EXPECT_EQ(info.queryPrefix(), "\\StringFileInfo\\080404b0\\");
    EXPECT_STREQ(info.getProductName(), "Kinolite");
    EXPECT_STREQ(info.getProductVersion(), KINOLITE_VERSION);
    for (const char* value :
         {info.getComments(), info.getCompanyName(), info.getLegalCopyright(),
          info.getLegalTrademarks(), info.getPrivateBuild(), info.getSpecialBuild()})
        EXPECT_NE(value, nullptr);
    std::vector<char> block;
    ASSERT_TRUE(verres::fileVersionInfo(KINOLITE_GUI_PROGRAM, &block));
    for (const char* key : {"Comments", "CompanyName", "FileDescription", "FileVersion",
                            "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
                            "PrivateBuild", "ProductName", "ProductVersion", "SpecialBuild"})
        EXPECT_NE(
            verres::queryValue(block, std::string("\\StringFileInfo\\080404b0\\") + key, nullptr),
            nullptr)
            << key;
}

TEST(VerInfo, FilesWithoutABlockHaveNoVersion) {
    testing_util::TempDir dir;
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"empty", ""},
        {"begin line only", verres::kBlockBegin},
        {"no entries", blockOf("")},
        {"no end line", std::string(verres::kBlockBegin) + kEntries},
        {"a line without '='", blockOf("\\VarFileInfo\\Translation\n")},
        {"a NUL byte", blockOf(std::string("\\A=b\0c\n", 7))},
        {"end beyond the size limit", blockOf(kEntries + std::string(verres::kMaxBlockSize, 'x'))},
    };
    for (const Case& c : cases) {
        std::string path = dir.file("no_block");
        testing_util::writeFile(path, bytesOf(c.content));
        EXPECT_EQ(verres::fileVersionInfoSize(path), 0u) << c.name;
        CVerInfo info;
        EXPECT_EQ(info.load(path.c_str()), 0) << c.name;
        EXPECT_EQ(info.getProductVersion(), nullptr) << c.name;
    }
    CVerInfo cli;
    EXPECT_EQ(cli.load(testing_util::cliPath().c_str()), 0);
    CVerInfo missing;
    EXPECT_EQ(missing.load(dir.file("missing").c_str()), 0);
    // A file without a translation has a block but no string table to read.
    std::string noTranslation = dir.file("no_translation");
    testing_util::writeFile(noTranslation, bytesOf(blockOf("\\StringFileInfo\\x\\A=b\n")));
    EXPECT_EQ(CVerInfo().load(noTranslation.c_str()), 0);
}

TEST(VerInfo, TheBlockIsFoundBehindDecoysAnywhereInAFile) {
    testing_util::TempDir dir;
    // Copies of the framing lines without entries before the block, as the reader itself
    // has them in a program that carries both.
    std::string content = std::string(100, '\0') + verres::kBlockBegin + '\0' + verres::kBlockEnd +
                          std::string(
                              "\x7f"
                              "ELF",
                              4) +
                          blockOf(kEntries) + std::string(50, '\xff');
    std::string path = dir.file("decoys");
    testing_util::writeFile(path, bytesOf(content));
    EXPECT_EQ(verres::fileVersionInfoSize(path), blockOf(kEntries).size());
    CVerInfo info;
    ASSERT_EQ(info.load(path.c_str()), 1);
    EXPECT_EQ(info.filePath(), path);
    EXPECT_STREQ(info.getProductVersion(), "2.5.1");
    EXPECT_STREQ(info.getPrivateBuild(), "test build");
    EXPECT_STREQ(info.getLegalTrademarks(), "");
    EXPECT_EQ(info.getCompanyName(), nullptr);
}

TEST(VerInfo, TranslationPairs) {
    struct Case {
        const char* value;
        std::vector<std::pair<int, int>> pairs;
    };
    const Case cases[] = {{"080404b0", {{0x0804, 0x04b0}}},
                          {"040904e4080404b0", {{0x0409, 0x04e4}, {0x0804, 0x04b0}}},
                          {"0804", {}},
                          {"+80404b0", {}},
                          {"", {}}};
    for (const Case& c : cases) {
        std::vector<std::pair<int, int>> got;
        for (auto p : verres::translationsOf(c.value)) got.push_back({p.wLanguage, p.wCodePage});
        EXPECT_EQ(got, c.pairs) << c.value;
    }
}

bool nothingExists(const std::string&) {
    return false;
}
bool everythingExists(const std::string&) {
    return true;
}

TEST(HelpFile, BesideTheProgramOrInTheDocumentationFolder) {
    struct Case {
        const char* program;
        bool (*exists)(const std::string&);
        const char* help;
    };
    const Case cases[] = {
        {"/src/build/app/kinolite", everythingExists, "/src/build/app/kinolite.html"},
        {"/opt/k.1/kinolite.exe", everythingExists, "/opt/k.1/kinolite.html"},
        {"/usr/bin/kinolite", nothingExists, "/usr/bin/../share/doc/kinolite/kinolite.html"},
        {"/opt/k.1/kinolite", nothingExists, "/opt/k.1/../share/doc/kinolite/kinolite.html"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(helpFileFor(c.program, "../share/doc/kinolite/", c.exists), c.help) << c.program;
}

}  // namespace
