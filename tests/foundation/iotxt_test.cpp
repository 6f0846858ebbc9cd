#include <gtest/gtest.h>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "tests/foundation/iotxt_test_support.h"

using iotxttest::ScopedFile;
using iotxttest::ScopedText;

class IotxtFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
    }
    void TearDown() override
    {
        while (IOTXT_HasCurrentText()) IOTXT_CloseFile();
    }
};

TEST_F(IotxtFiles, LineNumbersCountCommentsAndBlankLines)
{
    ScopedFile f("iotxt_lines.cfg", "; note\n\n   // other note\n  \t\nfirst = 1\r\n/ single slash\r\n   ;x\nlast\n");
    ASSERT_TRUE(IOTXT_OpenFile("iotxt_lines.cfg"));
    EXPECT_EQ(IOTXT_GetLineNumber(), 0u);
    ASSERT_TRUE(IOTXT_NextLine());
    EXPECT_EQ(IOTXT_GetLineNumber(), 5u);
    EXPECT_TRUE(IOTXT_MatchWord("FIRST"));
    EXPECT_TRUE(IOTXT_MatchEquals());
    int64_t v;
    EXPECT_TRUE(IOTXT_ReadInt64(&v));
    EXPECT_TRUE(IOTXT_IsEndOfLine());
    ASSERT_TRUE(IOTXT_NextLine());   // a single slash is no comment
    EXPECT_EQ(IOTXT_GetLineNumber(), 6u);
    EXPECT_TRUE(IOTXT_MatchChar('/'));
    ASSERT_TRUE(IOTXT_NextLine());
    EXPECT_EQ(IOTXT_GetLineNumber(), 8u);
    EXPECT_FALSE(IOTXT_NextLine());
    IOTXT_CloseFile();
    EXPECT_FALSE(IOTXT_HasCurrentText());
    // A file of only comments ends at once with all its lines counted.
    ScopedFile comments("iotxt_comments.cfg", ";a\r\n\r\n//b\r\n   \r\n");
    ASSERT_TRUE(IOTXT_OpenFile("iotxt_comments.cfg"));
    EXPECT_FALSE(IOTXT_NextLine());
    EXPECT_EQ(IOTXT_GetLineNumber(), 4u);
}

TEST_F(IotxtFiles, WordsAndCharactersMatch)
{
    for (const char* text : {"endtime", "end_x", "en"}) {
        ScopedText t(text);
        EXPECT_FALSE(IOTXT_MatchWord("end")) << text;
    }
    for (const char* text : {"END", "End", "end2", "  end ; c", "end("}) {
        ScopedText t(text);
        EXPECT_TRUE(IOTXT_MatchWord("end")) << text;
    }
    ScopedText t("  Satellite x");
    EXPECT_TRUE(IOTXT_PeekWord("satellite"));
    EXPECT_EQ(t.Rest(), "Satellite x");
    EXPECT_FALSE(IOTXT_MatchChar('s'));   // characters match exactly
    ScopedText c("  (  12");
    EXPECT_TRUE(IOTXT_MatchChar('('));   // consuming the blanks around
    EXPECT_EQ(c.Rest(), "12");
    ScopedText u("x ; comment");
    IOTXT_SkipChar();
    EXPECT_TRUE(IOTXT_IsEndOfLine());
}

TEST_F(IotxtFiles, NestedFileLeavesOuterLineAndNumber)
{
    ScopedFile outer("iotxt_outer.cfg", "\nmodel = \"iotxt_inner.cfg\" rest\nnext\n");
    ScopedFile inner("IotXt_Inner.CFG", "a\nb\nc\n");
    ASSERT_TRUE(IOTXT_OpenFile("iotxt_outer.cfg"));
    ASSERT_TRUE(IOTXT_NextLine());
    ASSERT_TRUE(IOTXT_MatchWord("model") && IOTXT_MatchEquals());
    char* name = IOTXT_ReadQuotedString();
    ASSERT_NE(name, nullptr);
    ASSERT_TRUE(IOTXT_OpenFile(name));   // found with another letter case
    POOL_Free(name);
    int lines = 0;
    while (IOTXT_NextLine()) lines++;
    EXPECT_EQ(lines, 3);
    IOTXT_CloseFile();
    EXPECT_EQ(IOTXT_GetLineNumber(), 2u);
    EXPECT_TRUE(IOTXT_MatchWord("rest"));
    ASSERT_TRUE(IOTXT_NextLine());
    EXPECT_TRUE(IOTXT_MatchWord("next"));
}

TEST_F(IotxtFiles, StackLimitsAndNothingOpen)
{
    // Nothing open: every function does nothing and fails.
    IOTXT_CloseFile();
    EXPECT_FALSE(IOTXT_NextLine());
    EXPECT_FALSE(IOTXT_MatchWord("x"));
    EXPECT_FALSE(IOTXT_MatchChar('x'));
    EXPECT_FALSE(IOTXT_IsEndOfLine());
    IOTXT_SkipBlanks();
    IOTXT_SkipChar();
    EXPECT_EQ(IOTXT_GetLineNumber(), 0u);
    int64_t i;
    double d;
    EXPECT_FALSE(IOTXT_ReadInt64(&i));
    EXPECT_FALSE(IOTXT_ReadDouble(&d));
    EXPECT_FALSE(IOTXT_ReadDoubleList(&d, 0));
    EXPECT_EQ(IOTXT_ReadRestOfLine(), nullptr);
    EXPECT_EQ(IOTXT_ReadIdent(), nullptr);
    EXPECT_FALSE(IOTXT_OpenFile("iotxt_no_such_file.cfg"));
    EXPECT_FALSE(IOTXT_OpenFile(std::string(1200, 'n').c_str()));   // a path that does not fit
    EXPECT_FALSE(IOTXT_HasCurrentText());

    ScopedFile f("iotxt_stack.cfg", "line\n");
    for (int k = 0; k < 16; k++) ASSERT_TRUE(IOTXT_OpenFile("iotxt_stack.cfg")) << k;
    ASSERT_TRUE(IOTXT_NextLine());
    EXPECT_FALSE(IOTXT_OpenFile("iotxt_stack.cfg"));   // the 17th is refused
    EXPECT_EQ(IOTXT_GetLineNumber(), 1u);              // the topmost file is untouched
    EXPECT_TRUE(IOTXT_MatchWord("line"));
    for (int k = 0; k < 16; k++) IOTXT_CloseFile();
    EXPECT_FALSE(IOTXT_HasCurrentText());
}

TEST_F(IotxtFiles, OverlongLineIsOneFaultyLine)
{
    std::string longLine = "name = " + std::string(600, 'x');
    std::string exact = std::string(496, 'y');
    ScopedFile f("iotxt_long.cfg", "a\n" + longLine + "\r\n" + exact + "\r\nb\n");
    ASSERT_TRUE(IOTXT_OpenFile("iotxt_long.cfg"));
    ASSERT_TRUE(IOTXT_NextLine());
    ASSERT_TRUE(IOTXT_NextLine());
    EXPECT_EQ(IOTXT_GetLineNumber(), 2u);
    EXPECT_FALSE(IOTXT_MatchWord("name"));   // no loader accepts it
    EXPECT_FALSE(IOTXT_IsEndOfLine());
    EXPECT_EQ(IOTXT_ReadIdent(), nullptr);
    EXPECT_NE(iotxttest::LogText().find("IOTXT: řádek 2 souboru"), std::string::npos);
    ASSERT_TRUE(IOTXT_NextLine());   // exactly 496 characters with CR LF is accepted
    EXPECT_EQ(IOTXT_GetLineNumber(), 3u);
    char* rest = IOTXT_ReadRestOfLine();
    EXPECT_EQ(std::string(rest), exact);
    POOL_Free(rest);
    ASSERT_TRUE(IOTXT_NextLine());
    EXPECT_EQ(IOTXT_GetLineNumber(), 4u);
    EXPECT_TRUE(IOTXT_MatchWord("b"));
}
