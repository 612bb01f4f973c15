#include "engine/NormalisedPage.h"

#include <gtest/gtest.h>

#include <QString>

#include <random>
#include <string>

namespace
{

std::string reference(const std::string& page)
{
    std::size_t begin = 0, end = page.size();
    while (begin < end && static_cast<unsigned char>(page[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(page[end - 1]) <= 32)
        --end;
    std::string out;
    for (std::size_t i = begin; i < end; ++i) {
        if (page[i] != '\n')
            out += page[i];
    }
    return out;
}

} // namespace

TEST(NormalisedPage, TrimsAndDeletesLineFeeds)
{
    const struct {
        std::string page, expected;
    } cases[] = {
        { "", "" },
        { " \t\r\n\x01 ", "" },
        { "\n a\r\nb\tc\n\n d \x7f\n", "a\rb\tc d \x7f" },
        { "x", "x" },
        { "\xc3\xa9\n\xe2\x82\xac", "\xc3\xa9\xe2\x82\xac" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalisedPage(c.page).utf8(), c.expected);
        EXPECT_EQ(NormalisedPage(QStringView(QString::fromStdString(c.page))).utf8(), c.expected);
        EXPECT_EQ(NormalisedPage(NormalisedPage::Unchecked { c.page }).utf8(), c.expected);
    }
}

// The copy works in chunks of 16 bytes with a shortcut for a chunk with one line feed: line feeds at
// every position, alone, in pairs and in runs, across chunk edges and in the tail.
TEST(NormalisedPage, LineFeedsAnywhereInTheChunks)
{
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t size = random() % 200;
        const int density = 1 + int(random() % 40);
        std::string page(size, 'a');
        for (std::size_t i = 0; i < size; ++i) {
            page[i] = char('a' + i % 26);
            if (int(random() % 100) < density)
                page[i] = '\n';
        }
        SCOPED_TRACE(page);
        ASSERT_EQ(NormalisedPage(page).utf8(), reference(page));
        ASSERT_EQ(NormalisedPage(QStringView(QString::fromStdString(page))).utf8(), reference(page));
        ASSERT_EQ(NormalisedPage(NormalisedPage::Unchecked { page }).utf8(), reference(page));
    }
}

// Text is converted in slices of 64 Ki code units; a pair split by a slice edge must stay one character.
TEST(NormalisedPage, SurrogatePairsAcrossSliceEdges)
{
    for (qsizetype at : { 65534, 65535, 65536, 131071 }) {
        QString text(140000, u'x');
        text[at] = QChar(0xD83D);
        text[at + 1] = QChar(0xDE00);
        text[at + 3] = QChar(0xD800); // unpaired
        text[10] = u'\n';
        const QByteArray utf8 = text.toUtf8();
        EXPECT_EQ(NormalisedPage(QStringView(text)).utf8(), reference(utf8.toStdString())) << at;
    }
}

// Unchecked bytes are checked in the pass that copies them: valid or not, the result is what Qt's
// reading of the bytes gives. Sequences of every length, cut short, overlong, surrogates and stray
// continuation bytes, at every offset of the 16-byte blocks and near the end.
TEST(NormalisedPage, UncheckedBytesReadAsQtReadsThem)
{
    const std::string pieces[] = { "a", "\n", " ", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xc3",
        "\xe2\x82", "\xf0\x9f\x98", "\x80", "\xbf", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80",
        "\xff", "\xf8\x88\x80\x80\x80" };
    std::mt19937 random(11);
    for (int round = 0; round < 4000; ++round) {
        const bool valid = round % 2 == 0; // half of them made of valid pieces only
        std::string page;
        const std::size_t count = random() % 40;
        for (std::size_t i = 0; i < count; ++i)
            page += pieces[random() % (valid ? 6 : std::size(pieces))];
        const QString qt = QString::fromUtf8(page.data(), qsizetype(page.size()));
        const std::string expected(NormalisedPage(QStringView(qt)).utf8());
        ASSERT_EQ(NormalisedPage(NormalisedPage::Unchecked { page }).utf8(), expected)
            << ::testing::PrintToString(page);
    }
}
