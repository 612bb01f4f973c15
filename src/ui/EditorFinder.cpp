#include "ui/EditorFinder.h"

#include "ui/QsciInclude.h"

#include <algorithm>

namespace
{

int sendInt(QsciScintilla& editor, unsigned int message, unsigned long wParam = 0)
{
    return int(editor.SendScintilla(message, wParam));
}

struct Selection {
    int anchor;
    int caret;
    int start;
    int end;
};

Selection selectionOf(QsciScintilla& editor)
{
    return { sendInt(editor, QsciScintillaBase::SCI_GETANCHOR),
        sendInt(editor, QsciScintillaBase::SCI_GETCURRENTPOS),
        sendInt(editor, QsciScintillaBase::SCI_GETSELECTIONSTART),
        sendInt(editor, QsciScintillaBase::SCI_GETSELECTIONEND) };
}

} // namespace

EditorFinder::EditorFinder(QsciScintilla& editor) : m_editor(editor) { }

void EditorFinder::reset()
{
    m_searching = false;
    m_editor.cancelFind();
}

bool EditorFinder::startSearch(const QString& text, const FindOptions& options, bool forward)
{
    const FindOptions& o = options;
    if (o.inSelection)
        return m_editor.findFirstInSelection(text, o.regularExpression, o.caseSensitive, o.wholeWord, forward);

    // From the end of the selection going forward, from its start going back, so the match shown
    // now is not found again.
    const Selection sel = selectionOf(m_editor);
    int line = 0, index = 0;
    m_editor.lineIndexFromPosition(forward ? sel.end : sel.start, &line, &index);
    return m_editor.findFirst(
        text, o.regularExpression, o.caseSensitive, o.wholeWord, o.wrap, forward, line, index);
}

bool EditorFinder::find(const QString& text, const FindOptions& options, bool reverse)
{
    if (text.isEmpty())
        return false;
    const bool forward = options.forward != reverse;
    const Selection sel = selectionOf(m_editor);
    const bool sameSearch = m_searching && m_search.text == text && m_search.options == options
        && sel.start == m_search.start && sel.end == m_search.end;

    bool found = false;
    int scopeStart = sel.start, scopeEnd = sel.end;
    if (sameSearch && m_search.forward == forward) {
        found = m_editor.findNext();
        scopeStart = m_search.scopeStart;
        scopeEnd = m_search.scopeEnd;
    } else {
        // Turning round inside a selection searches the whole selection again, the other way.
        if (sameSearch && options.inSelection) {
            scopeStart = m_search.scopeStart;
            scopeEnd = m_search.scopeEnd;
            m_editor.SendScintilla(QsciScintillaBase::SCI_SETSEL, ulong(scopeStart), long(scopeEnd));
        }
        found = startSearch(text, options, forward);
    }

    m_searching = found;
    if (found) {
        const Selection match = selectionOf(m_editor);
        m_search = { text, options, forward, match.start, match.end, scopeStart, scopeEnd };
    }
    return found;
}

int EditorFinder::setMarkers(const QString& text, const FindOptions& options)
{
    m_searching = false;
    if (text.isEmpty())
        return 0;
    const FindOptions& o = options;
    const Selection before = selectionOf(m_editor);
    const int length = m_editor.length();
    const int scopeEnd = o.inSelection ? before.end : length;

    int lines = 0;
    int lastLine = -1;
    int from = o.inSelection ? before.start : 0;
    while (from <= scopeEnd) {
        int line = 0, index = 0;
        m_editor.lineIndexFromPosition(from, &line, &index);
        // No wrap and not shown: one pass from the top, the view stays where the user left it.
        if (!m_editor.findFirst(
                text, o.regularExpression, o.caseSensitive, o.wholeWord, false, true, line, index, false))
            break;
        const Selection match = selectionOf(m_editor);
        if (match.start > scopeEnd)
            break;
        if (match.end <= scopeEnd) {
            int matchLine = 0, matchIndex = 0;
            m_editor.lineIndexFromPosition(match.start, &matchLine, &matchIndex);
            if (matchLine != lastLine) {
                if (!(m_editor.markersAtLine(matchLine) & (1u << MarkerNumber)))
                    m_editor.markerAdd(matchLine, MarkerNumber);
                lastLine = matchLine;
                ++lines;
            }
        }
        // On past this match; an empty match moves one character, so the loop always ends.
        const int next
            = std::max(match.end, sendInt(m_editor, QsciScintillaBase::SCI_POSITIONAFTER, ulong(match.start)));
        if (next <= from)
            break;
        from = next;
    }
    m_editor.cancelFind();
    m_editor.SendScintilla(QsciScintillaBase::SCI_SETSEL, ulong(before.anchor), long(before.caret));
    return lines;
}
