#include "engine/ReplacementTemplate.h"

#include <algorithm>

namespace
{

std::string toUtf8(QStringView text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return isNameStart(c) || isAsciiDigit(c);
}

// Where a name that starts at from ends (from itself when there is none).
qsizetype nameEnd(const QString& t, qsizetype from)
{
    if (from >= t.size() || !isNameStart(t[from]))
        return from;
    qsizetype k = from + 1;
    while (k < t.size() && isNameChar(t[k]))
        ++k;
    return k;
}

// \I: a word starts after a blank, a control character, one of !"#$%&(*+,-.<?[{ or the middle dot.
bool breaksWord(char32_t c)
{
    if (c < 128 && std::u16string_view(u"!\"#$%&(*+,-.<?[{").find(char16_t(c)) != std::u16string_view::npos)
        return true;
    return c == 0xB7 || QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control;
}

bool isApostrophe(char32_t c)
{
    return c == u'\'' || c == 0x2019;
}

QString initialCaps(QStringView text)
{
    QString out;
    out.reserve(text.size());
    bool wordStart = true;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n
            = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QStringView one = text.sliced(i, n);
        const char32_t c = n == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        i += n;
        if (breaksWord(c)) {
            out += one;
            wordStart = true;
        } else if (wordStart && isApostrophe(c)) {
            out += one; // passed over: the next character still starts the word
        } else if (wordStart) {
            out += one.toString().toUpper();
            wordStart = false;
        } else {
            out += one.toString().toLower();
        }
    }
    return out;
}

QString convertCase(char mode, std::string_view utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    switch (mode) {
    case 'L':
        return text.toLower();
    case 'U':
        return text.toUpper();
    case 'F': {
        if (text.isEmpty())
            return text;
        const qsizetype n = text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate() ? 2 : 1;
        return text.first(n).toUpper() + text.sliced(n).toLower();
    }
    default:
        return initialCaps(text);
    }
}

} // namespace

ReplacementTemplate::ReplacementTemplate(const QString& text, const NameLookup& names)
{
    parse(text, names);
}

void ReplacementTemplate::appendLiteral(std::string_view utf8)
{
    if (utf8.empty())
        return;
    if (m_tokens.empty() || m_tokens.back().kind != Kind::Literal)
        m_tokens.push_back(Token {});
    m_tokens.back().literal.append(utf8);
}

std::optional<ReplacementTemplate::Kind> ReplacementTemplate::shortReference(QChar intro, QChar next)
{
    switch (next.unicode()) {
    case u'&':
        return Kind::Number; // group 0
    case u'`':
        return Kind::Before;
    case u'\'':
        return Kind::After;
    case u'+':
        return Kind::Highest;
    case u'_':
        if (intro == u'$')
            return Kind::WholeValue;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void ReplacementTemplate::parse(const QString& t, const NameLookup& names)
{
    QString literal;
    const auto flush = [&] {
        appendLiteral(toUtf8(literal));
        literal.clear();
    };
    const auto push = [&](Token token) {
        flush();
        m_tokens.push_back(std::move(token));
    };
    const auto token = [](Kind kind, int number = 0, int second = -1, char caseMode = 0) {
        Token made;
        made.kind = kind;
        made.number = number;
        made.second = second;
        made.caseMode = caseMode;
        return made;
    };
    const auto named = [](std::vector<int> groups) {
        Token made;
        made.kind = Kind::Named;
        made.groups = std::move(groups);
        return made;
    };
    const auto at = [&](qsizetype i) { return i < t.size() ? t[i] : QChar(); };
    const auto digit = [&](qsizetype i) { return isAsciiDigit(at(i)) ? at(i).unicode() - u'0' : -1; };

    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        const QChar next = at(i + 1);
        if ((c != u'$' && c != u'\\') || i + 1 >= t.size()) {
            literal += c;
            continue;
        }
        if (digit(i + 1) >= 0) {
            push(token(Kind::Digits, digit(i + 1), digit(i + 2)));
            i += digit(i + 2) >= 0 ? 2 : 1;
            continue;
        }
        if (next == u'$' || (c == u'\\' && next == u'\\')) {
            literal += next;
            ++i;
            continue;
        }
        if (const std::optional<Kind> kind = shortReference(c, next)) {
            push(token(*kind));
            ++i;
            continue;
        }
        if (c == u'$') {
            if (next == u'{') {
                qsizetype k = i + 2;
                if (digit(k) >= 0) {
                    int number = 0;
                    for (; digit(k) >= 0; ++k)
                        number = std::min(number * 10 + digit(k), 1 << 20); // far above any group count
                    if (at(k) == u'}') {
                        push(token(Kind::Number, number));
                        i = k;
                        continue;
                    }
                } else if ((k = nameEnd(t, i + 2)) > i + 2 && at(k) == u'}') {
                    std::vector<int> groups = names(toUtf8(t.sliced(i + 2, k - i - 2)));
                    if (groups.empty())
                        literal += t.sliced(i, k + 1 - i);
                    else
                        push(named(std::move(groups)));
                    i = k;
                    continue;
                }
            }
            literal += c;
            continue;
        }
        // c is a backslash from here on.
        if (next == u'g' && at(i + 2) == u'<') {
            const qsizetype k = nameEnd(t, i + 3);
            if (k > i + 3 && at(k) == u'>') {
                std::vector<int> groups = names(toUtf8(t.sliced(i + 3, k - i - 3)));
                if (!groups.empty())
                    push(named(std::move(groups)));
                i = k;
                continue;
            }
        }
        const char mode = char(next.toUpper().unicode());
        if ((mode == 'L' || mode == 'U' || mode == 'F' || mode == 'I') && next.unicode() < 128
            && digit(i + 2) >= 0) {
            push(token(Kind::Case, digit(i + 2), digit(i + 3), mode));
            i += digit(i + 3) >= 0 ? 3 : 2;
            continue;
        }
        literal += c;
    }
    flush();
}

int ReplacementTemplate::groupNumber(const Token& t, const Match& m, bool& secondIsLiteral)
{
    const int two = t.number * 10 + t.second;
    secondIsLiteral = t.second >= 0 && two > m.highestSet;
    return t.second >= 0 && !secondIsLiteral ? two : t.number;
}

bool ReplacementTemplate::expand(const Match& m, std::string& out, std::size_t limit) const
{
    bool fits = true;
    // Checked before each piece, so that a template repeating a long value stops at the limit
    // instead of growing out far past it.
    const auto put = [&](std::string_view piece) {
        if (fits && piece.size() <= limit && out.size() <= limit - piece.size())
            out += piece;
        else
            fits = false;
    };
    const auto group = [&](int n) -> const Group* {
        return n >= 0 && std::size_t(n) < m.groups.size() && m.groups[std::size_t(n)].set
            ? &m.groups[std::size_t(n)]
            : nullptr;
    };
    for (const Token& t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            put(t.literal);
            break;
        case Kind::Number:
            if (const Group* g = group(t.number))
                put(g->text);
            break;
        case Kind::Digits:
        case Kind::Case: {
            bool secondIsLiteral = false;
            if (const Group* g = group(groupNumber(t, m, secondIsLiteral))) {
                if (t.kind == Kind::Digits)
                    put(g->text);
                else
                    put(toUtf8(convertCase(t.caseMode, g->text)));
            }
            if (secondIsLiteral) {
                const char digit = char('0' + t.second);
                put({ &digit, 1 });
            }
            break;
        }
        case Kind::Named:
            for (int n : t.groups) {
                if (const Group* g = group(n)) {
                    put(g->text);
                    break;
                }
            }
            break;
        case Kind::Before:
            put(m.before);
            break;
        case Kind::After:
            put(m.after);
            break;
        case Kind::Highest:
            if (const Group* g = group(m.highestSet))
                put(g->text);
            break;
        case Kind::WholeValue:
            put(m.before);
            if (const Group* g = group(0))
                put(g->text);
            put(m.after);
            break;
        }
    }
    return fits;
}
