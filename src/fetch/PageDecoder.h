#pragma once

#include <string>
#include <string_view>

// Turns the body of a 2xx response into valid UTF-8. The character set is the Content-Type
// header's, else a byte-order mark's, else (HTML and XML only) the page's own declaration: the
// XML declaration, <meta charset> or <meta http-equiv="Content-Type">. Without any, every byte is
// one character (ISO-8859-1), which also covers text types that declare none. Bytes that are
// invalid in the declared charset become U+FFFD; a charset nobody knows counts as none.
std::string decodePageToUtf8(std::string body, std::string_view contentType);

// The lower-case charset label the rules above pick ("" for none); for tests and diagnostics.
std::string pageCharsetName(std::string_view body, std::string_view contentType);
