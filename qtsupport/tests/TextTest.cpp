#include <qtsupport/Text.h>

#include <gtest/gtest.h>

using namespace varno::qtsupport;

TEST(Text, BytesDecodeAsUtf8WhenValidElseLatin1)
{
    EXPECT_EQ(textFromBytes("Station \xC3\xA4rla"), QString::fromUtf8("Station \xC3\xA4rla"));
    // A lone 0xE4 is not UTF-8: the instrument wrote Latin-1.
    EXPECT_EQ(textFromBytes("Station \xE4rla"), QString::fromUtf8("Station \xC3\xA4rla"));
    // A cut multi-byte sequence at the end is not valid either.
    EXPECT_EQ(textFromBytes("ab\xC3"), QString::fromLatin1("ab\xC3"));
    EXPECT_EQ(textFromBytes(std::string("a\0b", 3)).size(), 3);
    EXPECT_EQ(textFromBytes(""), QString());
    EXPECT_EQ(bytesFromText(QString::fromUtf8("\xC3\xA4")), "\xC3\xA4");
}

TEST(Text, MessagesShowCrLfAsNewLine)
{
    EXPECT_EQ(displayText("Welcome\r\n\r\nline"), "Welcome\n\nline");
    EXPECT_EQ(displayText("a\nb"), "a\nb");
}

TEST(Text, OldStyleFiltersBecomeQtFilters)
{
    EXPECT_EQ(qtFileFilter("Varno Data Files (*.vrn)|*.vrn|All Files (*.*)|*.*||"),
              "Varno Data Files (*.vrn);;All Files (*)");
    EXPECT_EQ(qtFileFilter("Tables|*.csv;*.txt||"), "Tables (*.csv *.txt)");
    EXPECT_EQ(qtFileFilter("Varno Data Files (*.vrn);;All Files (*)"),
              "Varno Data Files (*.vrn);;All Files (*)");
}
