#pragma once

#include <QString>

class QsciScintilla;

// What the find dialog asks for; the search itself is QScintilla's.
struct FindOptions {
    bool caseSensitive = false;
    bool regularExpression = false;
    bool wholeWord = false;
    bool wrap = false;
    bool forward = true;
    bool inSelection = false;

    bool operator==(const FindOptions&) const = default;
};

// Searches one editor with QScintilla's findFirst / findFirstInSelection / findNext and marks lines
// with its markers. A repeated search with the same text and options continues with findNext while
// the editor still shows the last match, so a search in a selection stays inside that selection;
// anything else (an edit, a click elsewhere, another option) starts a new search from the caret.
// Thread affinity: the UI thread.
class EditorFinder
{
public:
    // The marker that Set Marker puts on lines; the editor defines its symbol.
    static constexpr int MarkerNumber = 1;

    explicit EditorFinder(QsciScintilla& editor);

    // Selects the next match after the selection (before it when backwards, i.e. when the options'
    // direction is reversed); false when there is none, and the selection is left as it was.
    bool find(const QString& text, const FindOptions& options, bool reverse = false);
    // Puts a marker on every line that holds a match (in the selection when the options say so)
    // and returns how many lines hold one. The selection is left as it was.
    int setMarkers(const QString& text, const FindOptions& options);
    // Forgets the search in progress (a new text was loaded).
    void reset();

private:
    bool startSearch(const QString& text, const FindOptions& options, bool forward);

    QsciScintilla& m_editor;

    struct Search {
        QString text;
        FindOptions options;
        bool forward = true;
        // The match the editor showed last, as positions.
        int start = -1;
        int end = -1;
        // The selection a search in the selection started from.
        int scopeStart = -1;
        int scopeEnd = -1;
    };
    Search m_search;
    bool m_searching = false;
};
