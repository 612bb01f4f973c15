// Fuzzes the match collector and the template language: the three entry points must agree and keep
// the match list format, and expanding any template over any groups must stay in bounds.
#include "engine/MatchCollector.h"
#include "engine/ReplacementTemplate.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace
{

void expandOverGroups(FuzzedDataProvider& in, const QString& replacement, const std::string& subject)
{
    const bool namesExist = in.ConsumeBool();
    const std::size_t groupCount = in.ConsumeIntegralInRange<std::size_t>(1, 14);
    const ReplacementTemplate t(replacement, [&](std::string_view) {
        return namesExist ? std::vector<int> { int(groupCount) - 1, 0 } : std::vector<int> {};
    });
    std::vector<ReplacementTemplate::Group> groups(groupCount);
    for (auto& g : groups) {
        const std::size_t at = in.ConsumeIntegralInRange<std::size_t>(0, subject.size());
        const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, subject.size() - at);
        g = { std::string_view(subject).substr(at, n), in.ConsumeBool() };
    }
    groups[0].set = true;
    const std::size_t split = in.ConsumeIntegralInRange<std::size_t>(0, subject.size());
    const ReplacementTemplate::Match m { groups, in.ConsumeIntegralInRange<int>(0, int(groupCount) - 1),
        std::string_view(subject).substr(0, split), std::string_view(subject).substr(split) };
    std::string out;
    t.expand(m, out);
    // Without "$" or "\" a template is plain text.
    if (!replacement.contains(u'$') && !replacement.contains(u'\\') && out != replacement.toUtf8().toStdString())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool unique = in.ConsumeBool();
    const QString pattern = QString::fromStdString(in.ConsumeRandomLengthString(80));
    const QString replacement = QString::fromStdString(in.ConsumeRandomLengthString(40));
    const std::string extra = in.ConsumeRandomLengthString(80);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const QString page = QString::fromStdString(bytes); // invalid bytes: U+FFFD

    int count = -1, countUtf8 = -1;
    QString text, textUtf8;
    ApplyRegexToHtml(page, pattern, replacement, count, text, unique);
    const QByteArray utf8 = page.toUtf8();
    ApplyRegexToHtmlUtf8(std::string_view(utf8.constData(), std::size_t(utf8.size())), pattern, replacement,
        countUtf8, textUtf8, unique);
    if (count != countUtf8 || text != textUtf8)
        __builtin_trap();
    // The raw bytes, checked in the collector's own pass, read as the QString above.
    int countUnchecked = -1;
    QString textUnchecked;
    ApplyRegexToUncheckedUtf8(bytes, pattern, replacement, countUnchecked, textUnchecked, unique);
    if (count != countUnchecked || text != textUnchecked)
        __builtin_trap();
    if (count < 0 || (count == 0 && !text.isEmpty()) || (count >= 2 && !text.endsWith(QLatin1String("||"))))
        __builtin_trap();

    FuzzedDataProvider rest(reinterpret_cast<const std::uint8_t*>(extra.data()), extra.size());
    expandOverGroups(rest, replacement, utf8.toStdString());
    return 0;
}
