// The match collector on one large page against a bare PCRE2 JIT loop that only counts the same
// matches (as the peer tool pcre2_jit_count does: PCRE2_UTF | PCRE2_CASELESS | PCRE2_MATCH_INVALID_UTF).
// usage: bench_collector [--file PATH] [--mb N] [--runs N]
//   --file  match this file instead of generated HTML (e.g. the peer benchmark's 50 MB text)
//   --mb    size of the generated HTML in 10^6 bytes (50)   --runs  timed runs per row, median (7)
#include "HtmlCorpus.h"
#include "engine/MatchCollector.h"
#include "engine/NormalisedPage.h"
#include "fetch/Utf8Validator.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <QFile>
#include <QString>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace
{

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(int runs, const std::function<void()>& f)
{
    f(); // warm-up: first-touch of buffers, caches
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double t0 = seconds();
        f();
        t.push_back(seconds() - t0);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

class BareCounter
{
public:
    explicit BareCounter(const std::string& pattern)
    {
        int err = 0;
        PCRE2_SIZE off = 0;
        m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.c_str()), PCRE2_ZERO_TERMINATED,
            PCRE2_UTF | PCRE2_CASELESS | PCRE2_MATCH_INVALID_UTF, &err, &off, nullptr);
        if (!m_code || pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE) != 0) {
            std::fprintf(stderr, "bare loop: cannot compile or JIT %s\n", pattern.c_str());
            std::exit(2);
        }
        m_data = pcre2_match_data_create_from_pattern(m_code, nullptr);
    }
    ~BareCounter()
    {
        pcre2_match_data_free(m_data);
        pcre2_code_free(m_code);
    }
    long count(std::string_view s) const
    {
        const auto* buf = reinterpret_cast<PCRE2_SPTR>(s.data());
        long n = 0;
        std::size_t off = 0;
        for (;;) {
            if (pcre2_match(m_code, buf, s.size(), off, 0, m_data, nullptr) < 0)
                break;
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_data);
            ++n;
            off = ov[1];
            if (ov[0] == ov[1]) {
                if (off >= s.size())
                    break;
                for (++off; off < s.size() && (buf[off] & 0xC0) == 0x80; ++off) { }
            }
        }
        return n;
    }

private:
    pcre2_code* m_code = nullptr;
    pcre2_match_data* m_data = nullptr;
};

struct Pattern {
    const char* name;
    std::string regex;
    std::vector<const char*> templates; // "" = none
};

void row(const char* pattern, const std::string& variant, long matches, double s, std::size_t bytes, double bare)
{
    const double mbs = double(bytes) / 1e6 / s;
    char ratio[32] = "";
    if (bare > 0)
        std::snprintf(ratio, sizeof ratio, "%.2fx", bare / s);
    std::printf("| %s | %s | %ld | %.2f | %.0f | %s |\n", pattern, variant.c_str(), matches, s * 1e3, mbs, ratio);
}

std::string cpuName()
{
    QFile f("/proc/cpuinfo");
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return line.mid(line.indexOf(':') + 2).toStdString();
        }
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    std::string file;
    std::size_t mb = 50;
    int runs = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--file"))
            file = argv[i + 1];
        else if (!std::strcmp(argv[i], "--mb"))
            mb = std::size_t(std::atol(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::max(1, std::atoi(argv[i + 1]));
    }

    std::string page;
    std::vector<std::size_t> ends;
    if (file.empty()) {
        page = htmlCorpus(mb * 1'000'000, &ends);
    } else {
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 2;
        }
        page = f.readAll().toStdString();
        for (std::size_t at = 0; (at = page.find("</html>\n", at)) != std::string::npos;)
            ends.push_back(at += 8);
        if (ends.empty() || ends.back() != page.size())
            ends.push_back(page.size());
    }
    const QString pageText = QString::fromStdString(page);

    char version[64] = "";
    pcre2_config(PCRE2_CONFIG_VERSION, version);
    std::printf("collector benchmark: %s, %zu bytes in %zu pages; %s, %d cores; PCRE2 %s, Qt %s; median of %d\n\n",
        file.empty() ? "generated HTML" : file.c_str(), page.size(), ends.size(), cpuName().c_str(),
        QThread::idealThreadCount(), version, qVersion(), runs);

    const std::vector<Pattern> patterns = {
        { "e-mail", "[a-z0-9._%+-]+@[a-z0-9.-]+\\.[a-z]{2,}", { "", "unique" } },
        { "href", "<a href=\"([^\"]+)\"", { "", "$1" } },
        { "title", "<title>(.*?)</title>", { "", "$1" } },
    };

    std::printf("One page of %zu bytes\n\n| pattern | run | matches | median ms | MB/s | vs bare |\n"
                "|---|---|---|---|---|---|\n",
        page.size());
    const double normalise = median(runs, [&] { NormalisedPage p { std::string_view(page) }; });
    row("-", "normalising the page alone (UTF-8)", 0, normalise, page.size(), 0);
    const double normaliseText = median(runs, [&] { NormalisedPage p { QStringView(pageText) }; });
    row("-", "normalising the page alone (QString to UTF-8)", 0, normaliseText, page.size(), 0);
    bool valid = false;
    const double checkThenNormalise = median(runs, [&] {
        valid = Utf8Validator::isValid(page);
        NormalisedPage p { std::string_view(page) };
    });
    row("-", "UTF-8 check, then normalising (two passes)", 0, checkThenNormalise, page.size(), 0);
    const double checkWhileNormalising
        = median(runs, [&] { NormalisedPage p { NormalisedPage::Unchecked { page } }; });
    row("-", "normalising unchecked bytes (the check in the same pass)", 0, checkWhileNormalising, page.size(), 0);
    if (!valid)
        std::printf("| - | the page is not valid UTF-8 | | | | |\n");
    for (const Pattern& p : patterns) {
        const BareCounter bare(p.regex);
        long bareCount = 0;
        const double tBare = median(runs, [&] { bareCount = bare.count(page); });
        row(p.name, "bare PCRE2 JIT count", bareCount, tBare, page.size(), 0);
        const QString pattern = QString::fromStdString(p.regex);
        for (const char* t : p.templates) {
            const bool unique = !std::strcmp(t, "unique");
            const QString replacement = unique ? QString() : QString::fromUtf8(t);
            const std::string label = *t == 0 ? "no template"
                : unique                      ? "no template, unique"
                                              : "template " + std::string(t);
            int count = 0;
            const double tUtf8 = median(runs, [&] {
                QString text;
                ApplyRegexToHtmlUtf8(page, pattern, replacement, count, text, unique);
            });
            row(p.name, "collector UTF-8, " + label, count, tUtf8, page.size(), tBare);
            if (!unique && count != bareCount)
                std::printf("| %s | COUNT DIFFERS from the bare loop | | | | |\n", p.name);
            const double tText = median(runs, [&] {
                QString text;
                ApplyRegexToHtml(pageText, pattern, replacement, count, text, unique);
            });
            row(p.name, "collector QString, " + label, count, tText, page.size(), tBare);
        }
    }

    // The same bytes as separate pages, one call per page as the workers make them.
    std::vector<std::string_view> pages;
    for (std::size_t i = 0, from = 0; i < ends.size(); from = ends[i++])
        pages.emplace_back(page.data() + from, ends[i] - from);
    std::printf(
        "\nThe same bytes as %zu pages, one call each\n\n| pattern | run | matches | median ms | pages/s | "
        "vs bare |\n|---|---|---|---|---|---|\n",
        pages.size());
    for (const Pattern& p : patterns) {
        const BareCounter bare(p.regex);
        long bareCount = 0, count = 0;
        const double tBare = median(runs, [&] {
            bareCount = 0;
            for (std::string_view s : pages)
                bareCount += bare.count(s);
        });
        const QString pattern = QString::fromStdString(p.regex);
        const double t = median(runs, [&] {
            count = 0;
            for (std::string_view s : pages) {
                int n = 0;
                QString text;
                ApplyRegexToHtmlUtf8(s, pattern, QString(), n, text, false);
                count += n;
            }
        });
        std::printf("| %s | bare PCRE2 JIT count (compiled once) | %ld | %.2f | %.0f | |\n", p.name, bareCount,
            tBare * 1e3, double(pages.size()) / tBare);
        std::printf("| %s | collector UTF-8, no template | %ld | %.2f | %.0f | %.2fx |\n", p.name, count, t * 1e3,
            double(pages.size()) / t, tBare / t);
        // The UTF-8 check included: as the fetcher's own pass before, and in the collector's first pass
        // as a run's jobs call it now.
        const double tChecked = median(runs, [&] {
            count = 0;
            for (std::string_view s : pages) {
                int n = 0;
                QString text;
                if (Utf8Validator::isValid(s))
                    ApplyRegexToHtmlUtf8(s, pattern, QString(), n, text, false);
                count += n;
            }
        });
        std::printf("| %s | UTF-8 check, then collector UTF-8, no template | %ld | %.2f | %.0f | %.2fx |\n",
            p.name, count, tChecked * 1e3, double(pages.size()) / tChecked, tBare / tChecked);
        const double tUnchecked = median(runs, [&] {
            count = 0;
            for (std::string_view s : pages) {
                int n = 0;
                QString text;
                ApplyRegexToUncheckedUtf8(s, pattern, QString(), n, text, nullptr, false);
                count += n;
            }
        });
        std::printf(
            "| %s | collector unchecked UTF-8 (checked in its first pass), no template | %ld | %.2f | %.0f | "
            "%.2fx |\n",
            p.name, count, tUnchecked * 1e3, double(pages.size()) / tUnchecked, tBare / tUnchecked);
    }
    return 0;
}
