#include "ui/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QtDebug>

#include <exception>

Prompter::~Prompter() = default;

DialogPrompter::DialogPrompter(QWidget* parent) : m_parent(parent) { }

void DialogPrompter::message(const QString& text)
{
    QMessageBox::information(m_parent, QApplication::applicationDisplayName(), text);
}

bool DialogPrompter::confirm(const QString& text)
{
    return QMessageBox::question(m_parent, QApplication::applicationDisplayName(), text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void DialogPrompter::error(const QString& text)
{
    QMessageBox::critical(m_parent, QApplication::applicationDisplayName(), text);
}

QString DialogPrompter::openFile(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, QString(), filter);
}

QString DialogPrompter::saveFile(const QString& title, const QString& filter, const QString& suggestedName)
{
    return QFileDialog::getSaveFileName(m_parent, title, suggestedName, filter);
}

bool runCommand(Prompter& prompter, const std::function<void()>& handler)
{
    QString failure;
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    } catch (...) {
        failure = QStringLiteral("Unknown error");
    }
    // The error box itself must not throw into the event loop either.
    try {
        prompter.error(failure);
    } catch (...) {
        qWarning("cannot show the error: %s", qPrintable(failure));
    }
    return false;
}
