#pragma once

#include "text/FileUtil.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// The text editor's side of a text file. Reading uses the same mark, no-mark and line rules as
// every other text file; on top of them the editor turns tabs into blanks when it loads, and when
// it saves it drops the trailing blanks of each line and ends every line with CR LF.

// Blanks per tab on load.
constexpr int EditorTabWidth = 4;

struct EditorText {
    // Every line followed by '\n', so an empty last line survives the round trip.
    QString text;
    TextEncoding encoding = TextEncoding::AnsiUtf8;
};

EditorText editorTextFromBytes(const QByteArray& bytes);
// Throws FileError naming the file.
EditorText loadEditorFile(const QString& path);

struct EditorFileBytes {
    QByteArray bytes;
    // The encoding written: the one asked for, except that a text Windows-1252 cannot hold goes
    // to UTF-8 with a mark, since writing it as Windows-1252 would lose characters.
    TextEncoding encoding;
};

// The file the editor's text saves as: lines split at any line end (a final one adds none), each
// stripped of trailing codes up to 32 and followed by CR LF, in the encoding with its mark.
EditorFileBytes editorFileBytes(QStringView text, TextEncoding remembered);

// Writes editorFileBytes whole or not at all; throws FileError ("Cannot create file ...") and then
// leaves the file as it was.
TextEncoding saveEditorFile(const QString& path, QStringView text, TextEncoding remembered);
