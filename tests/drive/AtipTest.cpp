#include <gtest/gtest.h>
#include <unistd.h>

#include "drive/AtipLookup.h"
#include "fileio/LExcept.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

class AtipTable : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = ::getcwd(nullptr, 0);  // allocated, on both C libraries
        ASSERT_EQ(::chdir(tree.Root().c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(::chdir(old_), 0);
        std::free(old_);
    }
    test::TempTree tree;

private:
    char* old_ = nullptr;
};

struct AtipCase {
    std::string table;
    int m, s, f;
    std::string text;
};

TEST_F(AtipTable, Lookups) {
    const AtipCase cases[] = {
        {"972715=Maker A\r\n", 97, 27, 15, "Maker A (972715)"},
        {"972715 Maker A\n", 97, 27, 15, "Maker A (972715)"},
        {"", 97, 5, 3, "(ATIP=97m5s3f)"},
        {"970503x\n", 97, 5, 3, " (970503)"},
        {"972715\n", 97, 27, 15, " (972715)"},
        {"972715=Trailing   \n", 97, 27, 15, "Trailing    (972715)"},
        {"972715=First\n972715=Second\n", 97, 27, 15, "First (972715)"},
        {" 972715=Indented\n", 97, 27, 15, "(ATIP=97m27s15f)"},
        {"97271\n", 97, 27, 15, "(ATIP=97m27s15f)"},
        {"123450=Three digits\n", 123, 45, 6, "Three digits (1234506)"},
        {"[section]\n; comment\n961530=No final line feed", 96, 15, 30, "No final line feed (961530)"},
    };
    for (const auto& c : cases) {
        tree.Write("cdrid.ini", c.table);
        EXPECT_EQ(LookupAtip(static_cast<std::uint8_t>(c.m), static_cast<std::uint8_t>(c.s),
                             static_cast<std::uint8_t>(c.f)),
                  c.text)
            << c.table;
    }
}

TEST_F(AtipTable, MissingTableOrAFolderOfThatName) {
    EXPECT_EQ(LookupAtip(97, 27, 15), "(ATIP=97m27s15f)");
    tree.Folder("cdrid.ini");
    EXPECT_EQ(LookupAtip(97, 27, 15), "(ATIP=97m27s15f)");
}

TEST_F(AtipTable, HugeLinesAndJunkNeverCrash) {
    std::string junk(10000, 'x');
    junk += "\n972715=After a long line\n";
    for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>(i * 37));
    tree.Write("cdrid.ini", junk);
    EXPECT_EQ(LookupAtip(97, 27, 15), "After a long line (972715)");
    // A line of exactly 4095 + 6 characters: its second piece starts with the key and matches.
    tree.Write("cdrid.ini", std::string(4095, 'y') + "972715=Piece\n");
    EXPECT_EQ(LookupAtip(97, 27, 15), "Piece (972715)");
}

}  // namespace
}  // namespace stowra
