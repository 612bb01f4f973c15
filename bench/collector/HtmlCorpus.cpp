#include "HtmlCorpus.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace
{

// splitmix64: the same sequence everywhere, unlike the standard distributions.
class Rng
{
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) { }
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return std::size_t(next() % n); }
    std::size_t between(std::size_t lo, std::size_t hi) { return lo + below(hi - lo + 1); }
    double unit() { return double(next() >> 11) / double(1ull << 53); }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& a) { return a[below(N)]; }

private:
    std::uint64_t m_state;
};

using Words = std::array<std::string_view, 80>;
const Words words = {
    "the",
    "of",
    "and",
    "to",
    "in",
    "is",
    "for",
    "on",
    "that",
    "with",
    "data",
    "system",
    "network",
    "service",
    "report",
    "project",
    "update",
    "research",
    "market",
    "policy",
    "customer",
    "product",
    "support",
    "quality",
    "design",
    "process",
    "team",
    "office",
    "annual",
    "review",
    "program",
    "energy",
    "health",
    "water",
    "city",
    "school",
    "student",
    "library",
    "archive",
    "history",
    "museum",
    "event",
    "workshop",
    "seminar",
    "schedule",
    "deadline",
    "committee",
    "member",
    "board",
    "council",
    "contact",
    "general",
    "press",
    "media",
    "partner",
    "community",
    "volunteer",
    "donation",
    "funding",
    "budget",
    "invoice",
    "order",
    "shipping",
    "delivery",
    "warranty",
    "download",
    "release",
    "version",
    "security",
    "privacy",
    "department",
    "faculty",
    "caf\u00e9",
    "na\u00efve",
    "r\u00e9sum\u00e9",
    "Z\u00fcrich",
    "M\u00fcnchen",
    "S\u00e3o",
    "\u2014",
    "\u201cquoted\u201d",
};
const std::array<std::string_view, 12> first
    = { "anna", "ben", "carla", "david", "eva", "frank", "grace", "henry", "ines", "jan", "karin", "lukas" };
const std::array<std::string_view, 10> last
    = { "keller", "smith", "rossi", "novak", "garcia", "muller", "dubois", "jensen", "silva", "tanaka" };
const std::array<std::string_view, 8> domains = { "example.com", "mail.example.org", "acme-corp.de",
    "uni-bonn.ac.uk", "city.gov.example", "shop.example.co.uk", "news.example.io", "museum.example.museum" };
const std::array<std::string_view, 8> roles
    = { "info", "sales", "support", "press", "office", "admin", "hr", "jobs" };
const std::array<std::string_view, 8> sections
    = { "news", "about", "products", "services", "events", "contact", "careers", "docs" };

std::string email(Rng& r)
{
    std::string local;
    switch (r.below(4)) {
    case 0:
        local = r.pick(roles);
        break;
    case 1:
        local = std::string(r.pick(roles)) + "+web";
        break;
    case 2:
        local = std::string(1, r.pick(first)[0]) + "." + std::string(r.pick(last));
        break;
    default:
        local = std::string(r.pick(first)) + "_" + std::string(r.pick(last)) + std::to_string(r.below(100));
    }
    return local + "@" + std::string(r.pick(domains));
}

std::string linkUrl(Rng& r)
{
    // Appended step by step: GCC 12 warns falsely (-Wrestrict) on a chain of "literal" + std::string.
    std::string path = "/";
    path += r.pick(sections);
    path += '/';
    path += words[r.below(70)];
    path += '-';
    path += std::to_string(r.below(10000));
    path += ".html";
    switch (r.below(4)) {
    case 0:
        return "https://www." + std::string(r.pick(domains)) + path;
    case 1:
        return path + "?id=" + std::to_string(r.below(1000)) + "&amp;ref=" + std::string(r.pick(sections));
    case 2:
        return std::string("#sec-").append(std::to_string(r.below(20)));
    default:
        return path;
    }
}

std::string someWords(Rng& r, std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        if (i)
            s += ' ';
        s += r.pick(words);
    }
    return s;
}

void paragraph(Rng& r, std::string& out)
{
    out += "<p>";
    const std::size_t n = r.between(40, 110);
    for (std::size_t i = 0; i < n; ++i) {
        if (i)
            out += ' ';
        const double x = r.unit();
        if (x < 0.008) {
            const std::string e = email(r);
            switch (r.below(5)) {
            case 0:
                out += "<a href=\"mailto:" + e + "\">" + e + "</a>";
                break;
            case 1:
                out += "(" + e + ")";
                break;
            case 2:
                out += "&lt;" + e + "&gt;";
                break;
            case 3: // obfuscated: no match
                out += e.substr(0, e.find('@')) + " [at] " + e.substr(e.find('@') + 1);
                break;
            default:
                out += e;
            }
        } else if (x < 0.022) {
            const std::string text = someWords(r, r.between(1, 4));
            if (r.below(5) == 0) // attribute before href: not matched by the href pattern
                out += "<a class=\"ext\" href=\"" + linkUrl(r) + "\">" + text + "</a>";
            else
                out += "<a href=\"" + linkUrl(r) + "\">" + text + "</a>";
        } else {
            out += r.pick(words);
        }
    }
    out += ".</p>\n";
}

} // namespace

std::string htmlPage(std::size_t i)
{
    Rng r(42 * 1'000'003ull + i);
    const std::string site = std::string(r.pick(last)) + " Institute";
    const std::string title = someWords(r, r.between(3, 8));
    const std::size_t target = r.between(28'000, 32'000);
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
        + title + " \u2014 " + site + "</title>\n<meta name=\"description\" content=\"" + someWords(r, 20)
        + "\">\n<link rel=\"stylesheet\" href=\"/static/site.css?v=" + std::to_string(r.below(1000))
        + "\">\n<style>\n";
    for (std::string_view s : sections) {
        char css[128];
        std::snprintf(css, sizeof css, ".nav-%.*s{color:#%06x;margin:0 %zupx;padding:%zupx}\n", int(s.size()),
            s.data(), unsigned(r.below(1u << 24)), r.below(20), r.below(9));
        h += css;
    }
    h += "</style>\n<script type=\"application/ld+json\">{\"@type\":\"Organization\",\"name\":\"" + site
        + "\",\"email\":\"" + email(r) + "\"}</script>\n</head>\n<body class=\"page-" + std::to_string(i)
        + "\">\n<header><nav><ul>\n";
    for (std::string_view s : sections)
        h += "<li class=\"nav-" + std::string(s) + "\"><a href=\"/" + std::string(s) + "/index.html\">"
            + std::string(s) + "</a></li>\n";
    h += "</ul></nav></header>\n<main>\n<article>\n<h1>" + title + "</h1>\n";

    std::string tail = "</article>\n<aside><h2>Staff directory</h2><table>\n";
    for (std::size_t k = r.between(4, 10); k; --k) {
        const std::string e = email(r);
        tail += "<tr><td>" + std::string(r.pick(first)) + " " + std::string(r.pick(last)) + "</td><td>"
            + std::string(r.pick(roles)) + "</td><td><a href=\"mailto:" + e + "\">" + e + "</a></td></tr>\n";
    }
    tail += "</table></aside>\n</main>\n<footer><p>Contact: " + email(r) + " \u00b7 Press: " + email(r)
        + "</p><p>&copy; 2024 " + site + "</p></footer>\n</body>\n</html>\n";
    while (h.size() + tail.size() < target)
        paragraph(r, h);
    return h + tail;
}

std::string htmlCorpus(std::size_t minBytes, std::vector<std::size_t>* ends)
{
    std::string all;
    all.reserve(minBytes + 40'000);
    for (std::size_t i = 0; all.size() < minBytes; ++i) {
        all += htmlPage(i);
        if (ends)
            ends->push_back(all.size());
    }
    return all;
}
