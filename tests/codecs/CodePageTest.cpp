// Names between the files' code page (CP932) and UTF-8: exact both ways for
// what CP932 holds, one '?' for each character or bad sequence it cannot.
#include <gtest/gtest.h>

#include <string>

#include "codecs/CodePage.h"

using namespace morvane;

namespace {

const std::string kPencilCp932 = "\x89\x94\x95\x4D"; // 鉛筆

} // namespace

TEST(CodePage, JapaneseAndAsciiRoundTrip)
{
    EXPECT_EQ(Utf8ToCp932("鉛筆"), kPencilCp932);
    EXPECT_EQ(Cp932ToUtf8(kPencilCp932), "鉛筆");
    const std::string mixed = "ペン先 No.3 (ｶﾅ)";
    EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(mixed)), mixed);
    EXPECT_EQ(Utf8ToCp932(""), "");
    EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(CodePage, WhatCannotBeConvertedBecomesOneQuestionMarkEach)
{
    struct Case {
        const char* name;
        std::string input;
        bool toCp932;
        std::string expected;
    };
    const Case cases[] = {
        {"emoji has no CP932 code", "a😀b", true, "a?b"},
        {"hangul has no CP932 code", "鉛한筆", true, "\x89\x94?\x95\x4D"},
        {"stray UTF-8 continuation", "x\x80y", true, "x?y"},
        {"UTF-8 cut off at the end", "ab\xE9\x89", true, "ab?"},
        {"CP932 lead byte cut off", "\x89\x94\x95", false, "鉛?"},
        {"CP932 lead before an invalid trail keeps the ASCII", "\x89 z", false, "? z"},
        {"undefined CP932 single byte",
         "a\xA0"
         "b",
         false, "a?b"},
    };
    for (const Case& c : cases) {
        const std::string out = c.toCp932 ? Utf8ToCp932(c.input) : Cp932ToUtf8(c.input);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}
