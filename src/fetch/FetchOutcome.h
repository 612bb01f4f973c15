#pragma once

#include <QString>

// Why a fetch gave no page. The page itself stays empty on every failure; this is what the row can show.
struct FetchOutcome {
    enum class Kind {
        Ok,
        HttpStatus,
        Timeout,
        Dns,
        Refused,
        Tls,
        ProxyAuth,
        TooManyRedirects,
        BadProxy,
        UnsupportedScheme,
        Other,
        TooLarge
    };
    Kind kind = Kind::Ok;
    int httpStatus = 0; // final status when one arrived
    QString text; // short text for the row: empty when a page came, else "HTTP 404", "timed out after 3 s", ...
    bool ok() const { return kind == Kind::Ok; }
};
