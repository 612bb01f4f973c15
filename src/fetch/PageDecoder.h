#pragma once

#include <string>
#include <string_view>

// Turns the body of a 2xx response into valid UTF-8. The character set is the Content-Type
// header's, else a byte-order mark's, else (HTML and XML only) the page's own declaration: the
// XML declaration, <meta charset> or <meta http-equiv="Content-Type">. Without any, every byte is
// one character (ISO-8859-1), which also covers text types that declare none. Bytes that are
// invalid in the declared charset become U+FFFD; a charset nobody knows counts as none.
std::string decodePageToUtf8(std::string body, std::string_view contentType);

// The same text, copied only where it must be: a part of body itself when the charset is UTF-8
// (the byte-order mark left out) or when every byte is ASCII, else the converted text, which is
// stored in converted. For UTF-8, utf8Checked comes back false: the bytes were not checked, so that
// a caller can check them in a pass of its own; repairedUtf8 then gives what decodePageToUtf8 does.
std::string_view pageUtf8View(
    std::string_view body, std::string_view contentType, std::string& converted, bool& utf8Checked);

// Each invalid UTF-8 sequence replaced by U+FFFD, as QString::fromUtf8 reads it.
std::string repairedUtf8(std::string_view text);

// The lower-case charset label the rules above pick ("" for none); for tests and diagnostics.
std::string pageCharsetName(std::string_view body, std::string_view contentType);
