#pragma once

#include "library/RegexLibraryStore.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <thread>

class IdentityLists;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
struct RunSettings;

// Tries a library entry before it is applied: runs its pattern and replacement over its example,
// or over the user's own text, with the collector a run uses, and shows the count and the matches
// one per line as the export writes them, or why the pattern does not compile. Runs a moment after
// the last change (typing in the grid or the text), not on every keystroke. A page can be fetched
// into the text from a URL the way a run fetches it: the run's fetcher, timeout, identity lists and
// proxy setting, on a thread of its own.
// Thread affinity: the UI thread; the fetch thread only reads the settings and lists, and hands its
// page back through the event loop.
class RegexTestPane : public QWidget
{
    Q_OBJECT
public:
    static constexpr int DebounceMs = 300;

    RegexTestPane(const RunSettings& settings, const IdentityLists& lists, QWidget* parent = nullptr);
    // Waits for a fetch still going (at most the run timeout).
    ~RegexTestPane() override;

    // The entry to try; none when the library has no current row.
    void setEntry(const std::optional<RegexLibraryEntry>& entry);

    // Runs the trial now instead of after the pause (when one is due).
    void runPendingTrial();
    bool isTrialPending() const { return m_debounce.isActive(); }

    // Fetches the URL in TextFieldTestUrl into the text (which becomes the user's own text).
    void ButtonFetchClick();
    bool isFetching() const { return m_fetching; }

    // What the last trial showed.
    int matchCount() const { return m_count; }
    QStringList matches() const { return m_matches; }
    QString resultText() const;

    QRadioButton* RadioTestExample;
    QRadioButton* RadioTestOwnText;
    QPlainTextEdit* MemoTestText;
    QCheckBox* ChkTestRemoveDuplicated;
    QLineEdit* TextFieldTestUrl;
    QPushButton* ButtonTestFetch;
    QLabel* LabelFetchStatus;
    QLabel* LabelTestResult;
    QPlainTextEdit* MemoTestMatches;

Q_SIGNALS:
    // A trial ran; its results are in the pane.
    void trialFinished();
    // A fetch ended, with a page or with the reason in LabelFetchStatus.
    void fetchFinished();

private:
    void scheduleTrial();
    void runTrial();
    void showExample();
    void fetchDone(const QString& page, const QString& outcome);

    const RunSettings& m_settings;
    const IdentityLists& m_lists;
    std::optional<RegexLibraryEntry> m_entry;
    QTimer m_debounce;
    bool m_showingExample = false; // the text box is being filled, not typed into
    int m_count = 0;
    QStringList m_matches;
    bool m_fetching = false;
    std::thread m_fetchThread;
};
