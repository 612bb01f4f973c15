#define PCRE2_CODE_UNIT_WIDTH 8
#include "SqlcipherCli.h"

#include "library/RegexLibraryStore.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <pcre2.h>

#include <map>

namespace
{

QString shippedPath()
{
    return RegexLibraryStore::defaultPath(QDir::toNativeSeparators(QStringLiteral(GLIMMERPICK_BIN_DIR "/")));
}

const RegexLibraryStore& shipped()
{
    static const RegexLibraryStore store = [] {
        RegexLibraryStore s;
        s.open(shippedPath());
        return s;
    }();
    return store;
}

struct Match {
    QString text;
    int groups = 0; // capture count of the pattern
};

// All non-empty, non-overlapping matches, compiled the way the collector compiles patterns.
std::vector<Match> matches(
    const QString& pattern, const QString& subject, uint32_t options, QString* error = nullptr)
{
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANY);
    const QByteArray p = pattern.toUtf8();
    int code = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.constData()), PCRE2_SIZE(p.size()),
        PCRE2_UTF | options, &code, &offset, context);
    pcre2_compile_context_free(context);
    std::vector<Match> found;
    if (!re) {
        if (error) {
            PCRE2_UCHAR buffer[256];
            pcre2_get_error_message(code, buffer, sizeof buffer);
            *error
                = QString::fromUtf8(reinterpret_cast<const char*>(buffer)) + QStringLiteral(" at %1").arg(offset);
        }
        return found;
    }
    uint32_t groups = 0;
    pcre2_pattern_info(re, PCRE2_INFO_CAPTURECOUNT, &groups);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    const QByteArray s = subject.toUtf8();
    PCRE2_SIZE start = 0;
    while (start <= PCRE2_SIZE(s.size())
        && pcre2_match(
               re, reinterpret_cast<PCRE2_SPTR>(s.constData()), PCRE2_SIZE(s.size()), start, 0, md, nullptr)
            > 0) {
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        if (ov[1] > ov[0]) {
            found.push_back({ QString::fromUtf8(s.constData() + ov[0], qsizetype(ov[1] - ov[0])), int(groups) });
            start = ov[1];
        } else {
            start = ov[1] + 1;
            while (start < PCRE2_SIZE(s.size()) && (uchar(s[qsizetype(start)]) & 0xC0) == 0x80)
                ++start;
        }
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    return found;
}

QStringList texts(const std::vector<Match>& found)
{
    QStringList list;
    for (const Match& m : found)
        list << m.text;
    return list;
}

} // namespace

TEST(ShippedLibrary, OpensAsBuiltBesideTheExecutables)
{
    const RegexLibraryStore& store = shipped();
    EXPECT_GE(store.count(), 15);
    EXPECT_LE(store.count(), 25);
    for (int i = 0; i < store.count(); ++i) {
        const RegexLibraryEntry& e = store.entries()[size_t(i)];
        SCOPED_TRACE(e.description.value_or("NULL").toStdString());
        EXPECT_EQ(e.key.typeId(), QMetaType::LongLong);
        ASSERT_TRUE(e.description && e.regex_pattern && e.example);
        // Both set, so applying an entry never keeps the template of the one applied before.
        EXPECT_TRUE(e.regex_replacement);
        EXPECT_FALSE(e.description->isEmpty() || e.regex_pattern->isEmpty() || e.example->isEmpty());
        if (i > 0) {
            EXPECT_LT(store.entries()[size_t(i) - 1].description->compare(*e.description, Qt::CaseInsensitive), 0);
        }
    }
}

TEST(ShippedLibrary, IsAes128AndReadableWithTheSqlcipherTool)
{
    QFile f(shippedPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.read(16).startsWith("SQLite format 3")) << "the file must be encrypted";
    f.close();

    const QString rows = SqlcipherCli::exec(
        shippedPath(), QStringLiteral("select description from regex_library order by description;\n"));
    QStringList expected;
    for (const RegexLibraryEntry& e : shipped().entries())
        expected << *e.description;
    EXPECT_EQ(rows, expected.join(u'\n') + u'\n');

    // Under SQLCipher's default cipher (AES-256) the same key does not read it.
    const SqlcipherCli::Result aes256
        = SqlcipherCli::run(shippedPath(), QStringLiteral("select count(*) from regex_library;\n"),
            QStringLiteral("PRAGMA key = 'Hb3nQvTz8KdWm2R';\n"));
    EXPECT_NE(aes256.exitCode, 0);
    EXPECT_TRUE(aes256.err.contains(QStringLiteral("file is encrypted or is not a database")))
        << aes256.err.toStdString();
}

// Every entry matches its example as the collector matches pages (case-insensitive, UTF-8). An entry with
// a template must also survive the rewrite: the collector searches the pattern again, case-sensitively,
// within the match alone, and keeps what that search does not cover.
TEST(ShippedLibrary, EveryEntryMatchesItsExampleAndRewritesWholeMatches)
{
    const QRegularExpression groupRef(QStringLiteral("[$\\\\]\\{?(\\d+)"));
    for (const RegexLibraryEntry& e : shipped().entries()) {
        SCOPED_TRACE(e.description->toStdString());
        QString error;
        const std::vector<Match> found = matches(*e.regex_pattern, *e.example, PCRE2_CASELESS, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_FALSE(found.empty()) << "no match in " << e.example->toStdString();
        if (e.regex_replacement->isEmpty())
            continue;
        for (auto it = groupRef.globalMatch(*e.regex_replacement); it.hasNext();)
            EXPECT_LE(it.next().captured(1).toInt(), found.front().groups) << "template names a missing group";
        for (const Match& v : found) {
            const std::vector<Match> again = matches(*e.regex_pattern, v.text, PCRE2_NOTEMPTY);
            ASSERT_FALSE(again.empty()) << "the rewrite does not find " << v.text.toStdString();
            EXPECT_EQ(again.front().text, v.text) << "the rewrite would keep text around the match";
        }
    }
}

// What the harder patterns must find, and what they must leave alone, in their own examples.
TEST(ShippedLibrary, ExamplesGiveTheIntendedMatches)
{
    const std::map<QString, QStringList> wanted = {
        { QStringLiteral("E-mail addresses"),
            { "info@example.com", "info@example.com", "Sales@Shop.Example.org" } },
        { QStringLiteral("Hashtags"), { "#summer2024", "#Fête" } },
        { QStringLiteral("IPv4 addresses"), { "192.168.10.254" } },
        { QStringLiteral("Dates, day month year (5 March 2024)"), { "5 March 2024", "12 Sept. 2024" } },
        { QStringLiteral("Dates, dd/mm/yyyy or mm/dd/yyyy"), { "24/12/2023", "27.12.2023" } },
        { QStringLiteral("Phone numbers (international format)"), { "+44 20 7946 0958", "+1 (555) 010-4477" } },
        { QStringLiteral("Prices with a currency code (EUR, USD, ...)"), { "1.299,00 EUR", "1,405.50 USD" } },
        { QStringLiteral("Prices with a currency sign ($, €, £, ¥)"), { "$1,299.99", "€999", "12,99&nbsp;€" } },
        { QStringLiteral("Social profile links"), { "https://www.instagram.com/example.shop" } },
        { QStringLiteral("URLs in text (http, https)"),
            { "https://docs.example.com/start", "http://mirror.example.net/files/" } },
    };
    for (const auto& [description, expected] : wanted) {
        const std::optional<int> at = shipped().findByDescription(description);
        ASSERT_TRUE(at) << description.toStdString();
        const RegexLibraryEntry& e = shipped().entries()[size_t(*at)];
        EXPECT_EQ(texts(matches(*e.regex_pattern, *e.example, PCRE2_CASELESS)), expected)
            << description.toStdString();
    }
}
