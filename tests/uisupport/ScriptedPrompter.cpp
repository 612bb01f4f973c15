#include "ScriptedPrompter.h"

#include <gtest/gtest.h>

namespace
{

const char* kindName(ScriptedPrompter::Kind k)
{
    switch (k) {
    case ScriptedPrompter::Kind::Message:
        return "message";
    case ScriptedPrompter::Kind::Confirm:
        return "confirm";
    case ScriptedPrompter::Kind::Error:
        return "error";
    case ScriptedPrompter::Kind::OpenFile:
        return "open file";
    case ScriptedPrompter::Kind::SaveFile:
        return "save file";
    }
    return "?";
}

} // namespace

ScriptedPrompter::~ScriptedPrompter()
{
    for (const Expected& e : m_expected)
        ADD_FAILURE() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString()
                      << "\" was never asked; asked: " << asked.join(QStringLiteral(" | ")).toStdString();
}

void ScriptedPrompter::expectMessage(const QString& text)
{
    m_expected.push_back({ Kind::Message, text, false, QString() });
}

void ScriptedPrompter::expectConfirm(bool answer, const QString& text)
{
    m_expected.push_back({ Kind::Confirm, text, answer, QString() });
}

void ScriptedPrompter::expectError(const QString& part)
{
    m_expected.push_back({ Kind::Error, part, false, QString() });
}

void ScriptedPrompter::expectOpenFile(const QString& path)
{
    m_expected.push_back({ Kind::OpenFile, QString(), false, path });
}

void ScriptedPrompter::expectSaveFile(const QString& path)
{
    m_expected.push_back({ Kind::SaveFile, QString(), false, path });
}

const ScriptedPrompter::Expected* ScriptedPrompter::take(Kind kind, const QString& text)
{
    asked.append(QStringLiteral("%1: %2").arg(QString::fromLatin1(kindName(kind)), text));
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << ": \"" << text.toStdString() << "\"";
        return nullptr;
    }
    const Expected& e = m_expected.front();
    const bool fits
        = e.kind == kind && (e.text.isEmpty() || (kind == Kind::Error ? text.contains(e.text) : text == e.text));
    if (!fits) {
        ADD_FAILURE() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString() << "\", got "
                      << kindName(kind) << " \"" << text.toStdString() << "\"";
        return nullptr;
    }
    m_current = e;
    m_expected.pop_front();
    return &m_current;
}

void ScriptedPrompter::message(const QString& text)
{
    take(Kind::Message, text);
}

bool ScriptedPrompter::confirm(const QString& text)
{
    const Expected* e = take(Kind::Confirm, text);
    return e && e->answer;
}

void ScriptedPrompter::error(const QString& text)
{
    take(Kind::Error, text);
}

QString ScriptedPrompter::openFile(const QString& title, const QString&)
{
    const Expected* e = take(Kind::OpenFile, title);
    return e ? e->path : QString();
}

QString ScriptedPrompter::saveFile(const QString& title, const QString&, const QString&)
{
    const Expected* e = take(Kind::SaveFile, title);
    return e ? e->path : QString();
}
