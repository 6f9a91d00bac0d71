// Switch set: taking a command line apart.
#include "link/UParam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct Expect {
    char letter;
    bool has;
    bool empty;
    std::string value;
};
struct Case {
    const char *name;
    std::string line;
    int count;
    std::vector<Expect> expects;
};
} // namespace

TEST(Param, TableOfLines)
{
    const std::vector<Case> cases = {
        {"leading blank kept, trailing cut", "/F name.txt   /T01", 2,
         {{'F', true, false, " name.txt"}, {'T', true, false, "01"}}},
        {"last occurrence wins, both counted", "/T01 /T11", 2, {{'T', true, false, "11"}}},
        {"letters are case-sensitive", "/o /P1", 2,
         {{'o', true, true, ""}, {'O', false, true, ""}, {'P', true, false, "1"}, {'p', false, true, ""}}},
        {"no slash at all", "LW V277", 0, {{'L', false, true, ""}, {'V', false, true, ""}}},
        {"empty line", "", 0, {{'F', false, true, ""}}},
        {"text before the first slash ignored", "abc /XD", 1, {{'X', true, false, "D"}, {'a', false, true, ""}}},
        {"slash at the very end ignored", "/XU /", 1, {{'X', true, false, "U"}}},
        {"lone slash", "/", 0, {{'/', false, true, ""}}},
        {"value without blank", "/LW/V277PSP/P1", 3,
         {{'L', true, false, "W"}, {'V', true, false, "277PSP"}, {'P', true, false, "1"}}},
        {"only blanks is empty", "/B   /XD", 2, {{'B', true, true, ""}, {'X', true, false, "D"}}},
        {"switch at end without value", "/XD /*", 2, {{'*', true, true, ""}, {'X', true, false, "D"}}},
        {"high-byte letter", std::string("/\xB3" "ab"), 1, {{'\xB3', true, false, "ab"}}},
        {"inner blanks stay", "/F  a b  c  ", 1, {{'F', true, false, "  a b  c"}}},
    };
    for (const Case &c : cases) {
        TParam p;
        p.parse(c.line);
        EXPECT_EQ(p.count(), c.count) << c.name;
        for (const Expect &e : c.expects) {
            EXPECT_EQ(p.has(e.letter), e.has) << c.name << " " << e.letter;
            EXPECT_EQ(p.isEmpty(e.letter), e.empty) << c.name << " " << e.letter;
            EXPECT_EQ(p.value(e.letter), e.value) << c.name << " " << e.letter;
        }
    }
}

TEST(Param, ValueIsCutAt255)
{
    TParam p;
    p.parse("/F" + std::string(300, 'a') + "/T01");
    EXPECT_EQ(p.value('F'), std::string(255, 'a'));
    EXPECT_EQ(p.value('T'), "01");
}

TEST(Param, SetDefaultActsLikeAGivenSwitch)
{
    TParam p;
    p.parse("/XU");
    p.setDefault('U', "");
    EXPECT_TRUE(p.has('U'));
    EXPECT_TRUE(p.isEmpty('U'));
    p.setDefault('L', "W");
    EXPECT_EQ(p.value('L'), "W");
    EXPECT_EQ(p.value('X'), "U");  // earlier values still point at their text
    p.setDefault('B', std::string(400, '9'));
    EXPECT_EQ(p.value('B').size(), 255u);
}

TEST(Param, ParseAndClearForgetEverything)
{
    TParam p;
    p.parse("/T01 /AABDE");
    p.parse("/XD");
    EXPECT_FALSE(p.has('T'));
    EXPECT_EQ(p.count(), 1);
    p.clear();
    EXPECT_FALSE(p.has('X'));
    EXPECT_EQ(p.count(), 0);
    EXPECT_EQ(p.value('X'), "");
}
