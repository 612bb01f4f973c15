#pragma once

#include "ui/Prompter.h"

#include <QString>
#include <QStringList>

#include <deque>

// A Prompter for widget tests: every prompt must have been expected, in order. A prompt nobody
// expected, or one of another kind or text, fails the test (with what was asked) and is answered
// No / cancelled; expectations left unused fail it when the prompter is destroyed.
class ScriptedPrompter : public Prompter
{
public:
    enum class Kind { Message, Confirm, Error, OpenFile, SaveFile };

    ~ScriptedPrompter() override;

    // text: the exact text expected; an empty text accepts any. For errors, a part of the text.
    void expectMessage(const QString& text = QString());
    void expectConfirm(bool answer, const QString& text = QString());
    void expectError(const QString& part = QString());
    // path: the file chosen; an empty text cancels the dialog.
    void expectOpenFile(const QString& path);
    void expectSaveFile(const QString& path);

    // Every prompt put so far, as "kind: text".
    QStringList asked;
    bool allUsed() const { return m_expected.empty(); }
    // Forgets what is still expected (a test that checks allUsed() itself).
    void clear() { m_expected.clear(); }

    void message(const QString& text) override;
    bool confirm(const QString& text) override;
    void error(const QString& text) override;
    QString openFile(const QString& title, const QString& filter) override;
    QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) override;

private:
    struct Expected {
        Kind kind;
        QString text;
        bool answer = false;
        QString path;
    };
    // The next expectation if it is of this kind and fits the text; else a test failure.
    const Expected* take(Kind kind, const QString& text);

    std::deque<Expected> m_expected;
    Expected m_current;
};
