#include "fetch/PageDecoder.h"

#include <QByteArrayView>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

TEST(PageDecoder, CharsetFromHeaderMarkPageOrNone)
{
    struct Case {
        const char* name;
        std::string contentType;
        std::string body;
        std::string utf8;
    };
    const std::string cafe = "caf\xC3\xA9";
    const Case cases[] = {
        { "header UTF-8", "text/html; charset=utf-8", cafe, cafe },
        { "quoted header charset in capitals", "text/html;Charset=\"UTF-8\"", cafe, cafe },
        { "charset among other parameters", "text/plain; format=flowed; charset=iso-8859-1", "caf\xE9", cafe },
        { "header Windows-1251 through iconv", "text/html; charset=windows-1251", "\xCF\xF0\xE8",
            "\xD0\x9F\xD1\x80\xD0\xB8" },
        { "header Shift_JIS through iconv", "text/html; charset=Shift_JIS", "\x93\xfa\x96\x7b",
            "\xE6\x97\xA5\xE6\x9C\xAC" },
        { "Windows-1252 keeps its undefined bytes", "text/html; charset=windows-1252", "\x80\x81",
            "\xE2\x82\xAC\xC2\x81" },
        { "header wins over the page", "text/html; charset=iso-8859-1", "<meta charset=utf-8>\xC3\xA9",
            "<meta charset=utf-8>\xC3\x83\xC2\xA9" },
        { "meta charset", "text/html", "<head><META CHARSET='utf-8'>" + cafe,
            "<head><META CHARSET='utf-8'>" + cafe },
        { "meta http-equiv", "text/html",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\xCF",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\xD0\x9F" },
        { "meta in a comment does not count", "text/html", "<!-- <meta charset=utf-8> -->\xC3\xA9",
            "<!-- <meta charset=utf-8> -->\xC3\x83\xC2\xA9" },
        { "meta saying UTF-16 means UTF-8", "text/html", "<meta charset=utf-16>" + cafe,
            "<meta charset=utf-16>" + cafe },
        { "XML declaration", "application/rss+xml", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\xCF",
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\xD0\x9F" },
        { "HTML without a declaration is ISO-8859-1", "text/html", cafe, "caf\xC3\x83\xC2\xA9" },
        { "meta in a text/plain page does not count", "text/plain", "<meta charset=utf-8>\xC3\xA9",
            "<meta charset=utf-8>\xC3\x83\xC2\xA9" },
        { "binary: one character per byte", "application/octet-stream", std::string("\x00\xFF\x80", 3),
            std::string("\x00\xC3\xBF\xC2\x80", 5) },
        { "no Content-Type at all", "", "\xE9", "\xC3\xA9" },
        { "UTF-8 mark, removed", "text/html", "\xEF\xBB\xBF" + cafe, cafe },
        { "UTF-8 mark with a UTF-8 header", "text/plain; charset=utf-8", "\xEF\xBB\xBFx", "x" },
        { "UTF-16 LE mark", "text/plain", std::string("\xFF\xFEh\0i\0", 6), "hi" },
        { "header UTF-16BE", "text/plain; charset=utf-16be", std::string("\0h\0i", 4), "hi" },
        { "invalid UTF-8 becomes U+FFFD", "text/html; charset=utf-8",
            "a\xFF"
            "b\xC3",
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD" },
        { "invalid Shift_JIS becomes U+FFFD", "text/html; charset=shift_jis", "a\x93", "a\xEF\xBF\xBD" },
        { "US-ASCII with high bytes keeps them", "text/html; charset=us-ascii", "\xE9", "\xC3\xA9" },
        { "unknown charset counts as none", "text/html; charset=x-no-such-thing", "\xE9", "\xC3\xA9" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = decodePageToUtf8(c.body, c.contentType);
        EXPECT_EQ(out, c.utf8);
        EXPECT_TRUE(QByteArrayView(out.data(), qsizetype(out.size())).isValidUtf8());
    }
}

TEST(PageDecoder, MetaBeyondTheScanLimitIsNotSeen)
{
    const std::string filler(70 * 1024, ' ');
    EXPECT_EQ(pageCharsetName("<meta charset=koi8-r>" + filler, "text/html"), "koi8-r");
    EXPECT_EQ(pageCharsetName(filler + "<meta charset=koi8-r>", "text/html"), "");
}

TEST(PageDecoder, Utf8CheckAgreesWithQtOnEveryEdge)
{
    // Each sequence alone and after an ASCII run long enough for the 16-byte skip.
    const std::string sequences[] = { "\xC2\x80", "\xC1\xBF", "\xC0\x80", "\xDF\xBF", "\xE0\xA0\x80",
        "\xE0\x9F\xBF", "\xED\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF",
        "\xF0\x90\x80\x80", "\xF0\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
        "\x80", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xC3\x28", "\xE2\x28\xA1", std::string("a\0b", 3) };
    const std::string ascii(37, 'x');
    for (const std::string& sequence : sequences) {
        for (const std::string& body : { sequence, ascii + sequence, ascii + sequence + ascii }) {
            SCOPED_TRACE(::testing::PrintToString(body));
            const std::string qt = QString::fromUtf8(body.data(), qsizetype(body.size())).toUtf8().toStdString();
            EXPECT_EQ(decodePageToUtf8(body, "text/html; charset=utf-8"), qt);
        }
    }
}

TEST(PageDecoder, Utf8CheckAgreesWithQtOnRandomText)
{
    // Mostly valid text with a few broken sequences, at every length around the 16-byte blocks.
    const std::string pieces[]
        = { "a", "word ", "\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\xED\x9F\xBF", "\xF4\x8F\xBF\xBF",
              "\x80", "\xC3", "\xE6\x97", "\xF0\x9F\x98", "\xED\xA0\x80", "\xC0\xAF", "\xF8", "\xFF" };
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string body;
        const int count = int(random() % 40);
        for (int i = 0; i < count; ++i) {
            const std::uint32_t pick = random();
            body += pieces[pick % 100 < 95 ? pick % 7 : 7 + pick % 8];
        }
        SCOPED_TRACE(::testing::PrintToString(body));
        const std::string qt = QString::fromUtf8(body.data(), qsizetype(body.size())).toUtf8().toStdString();
        ASSERT_EQ(decodePageToUtf8(body, "text/html; charset=utf-8"), qt);
    }
}
