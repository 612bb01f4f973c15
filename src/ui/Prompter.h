#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every question and notice a window puts to the user. Windows never open a message box or a file
// dialog themselves: the application gives them the dialog one, tests a scripted one.
// Thread affinity: the UI thread.
class Prompter
{
public:
    virtual ~Prompter();

    // A notice with one OK button.
    virtual void message(const QString& text) = 0;
    // A question with Yes and No (No is the default); true for Yes.
    virtual bool confirm(const QString& text) = 0;
    // The application's error box.
    virtual void error(const QString& text) = 0;
    // The chosen file, or an empty text when cancelled. filter as in QFileDialog ("Text files (*.txt)").
    virtual QString openFile(const QString& title, const QString& filter) = 0;
    virtual QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) = 0;
};

// The real dialogs, modal to parent.
class DialogPrompter : public Prompter
{
public:
    explicit DialogPrompter(QWidget* parent = nullptr);

    void message(const QString& text) override;
    bool confirm(const QString& text) override;
    void error(const QString& text) override;
    QString openFile(const QString& title, const QString& filter) override;
    QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) override;

private:
    QWidget* m_parent;
};

// Runs a command handler; an exception it raises ends the command and its text is shown through
// the prompter's error box, so no exception ever reaches the event loop. Returns false when the
// command failed.
bool runCommand(Prompter& prompter, const std::function<void()>& handler);
