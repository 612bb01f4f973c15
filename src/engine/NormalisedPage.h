#pragma once

#include <QStringView>

#include <cstddef>
#include <string_view>

// A page as the collector matches it, in UTF-8: codes <= 32 trimmed from both ends and every line
// feed deleted (carriage returns and tabs stay). A page without line feeds is used in place; otherwise
// the text goes to a buffer of the calling thread that is reused by its next page, so large pages do
// not pay for fresh memory each time. One instance per thread at a time.
class NormalisedPage
{
public:
    // Bytes meant as UTF-8 that nobody has checked yet.
    struct Unchecked {
        std::string_view bytes;
    };

    // Precondition: valid UTF-8.
    explicit NormalisedPage(std::string_view utf8);
    // Checked in the same pass that trims and copies them; when they are not valid UTF-8, each
    // invalid sequence counts as U+FFFD, as QString::fromUtf8 reads it.
    explicit NormalisedPage(Unchecked page);
    // Unpaired surrogates, which UTF-8 cannot carry, become '?' as with QString::toUtf8().
    explicit NormalisedPage(QStringView text);
    ~NormalisedPage();
    NormalisedPage(const NormalisedPage&) = delete;
    NormalisedPage& operator=(const NormalisedPage&) = delete;

    std::string_view utf8() const { return m_text; }

    // A thread keeps at most this much buffer between pages.
    static constexpr std::size_t KeptBufferBytes = 64 * 1024 * 1024;

private:
    void normalise(QStringView text);

    std::string_view m_text;
};
