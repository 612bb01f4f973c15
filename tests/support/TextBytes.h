#pragma once

#include <QByteArray>
#include <QString>

// The text as a UTF-16 file's bytes, with its byte-order mark, as a test writes them by hand.
QByteArray utf16WithMark(const QString& text, bool littleEndian);
