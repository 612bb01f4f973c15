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
