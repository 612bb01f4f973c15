#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The replacement template language, parsed once and expanded for each match:
//   $d \d         group d; with a second digit e, group de when de <= the highest group that took part
//   ${digits}     that group            ${name}  the named group, kept literally when there is no such name
//   \g<name>      the named group, dropped when there is no such name
//   $& \&         the whole match       $` \`    the value before the match (earlier replacements included)
//   $' \'         the value after it    $+ \+    the highest group that took part
//   $_            the whole value       $$ \$    "$"        \\  "\"
//   \L \U \F \I   (or l u f i) and a group number as for \d: lower, upper, first upper, initial caps
// Anything else, a "$" or "\" at the very end included, is copied as it is. A group that does not exist
// or did not take part inserts nothing. For \I a word starts after a blank, a control character, one of
// !"#$%&(*+,-.<?[{ or the middle dot; apostrophes (' and U+2019) at a word start are passed over.
// Case mapping is Qt's full Unicode mapping, the same in every locale ("straße" upper-cases to "STRASSE").
class ReplacementTemplate
{
public:
    // The numbers of the pattern's groups called name (in order), empty when there is none.
    using NameLookup = std::function<std::vector<int>(std::string_view nameUtf8)>;

    struct Group {
        std::string_view text;
        bool set = false;
    };
    struct Match {
        std::span<const Group> groups; // [0] is the whole match; one entry per group of the pattern
        int highestSet = 0; // highest-numbered group that took part, 0 when none did
        std::string_view before; // the value before the match, earlier replacements included
        std::string_view after; // the value after the match, unchanged
    };

    ReplacementTemplate(const QString& text, const NameLookup& names);

    // Appends the expansion for m to out (UTF-8). Returns false, with out cut short, when out would
    // grow past limit bytes.
    bool expand(const Match& m, std::string& out, std::size_t limit = SIZE_MAX) const;

private:
    enum class Kind { Literal, Number, Digits, Named, Before, After, Highest, WholeValue, Case };
    struct Token {
        Kind kind = Kind::Literal;
        std::string literal; // Literal
        int number = 0; // Number; first digit of Digits and Case
        int second = -1; // Digits, Case: the digit after it, -1 when none
        char caseMode = 0; // Case: L, U, F or I
        std::vector<int> groups; // Named
    };

    // "$" or "\" and one character that make a reference of their own: &, `, ', + and, after "$", _.
    static std::optional<Kind> shortReference(QChar intro, QChar next);
    void parse(const QString& text, const NameLookup& names);
    void appendLiteral(std::string_view utf8);
    // The group a Digits or Case token names in m, and whether its second digit is plain text.
    static int groupNumber(const Token& t, const Match& m, bool& secondIsLiteral);

    std::vector<Token> m_tokens;
};
