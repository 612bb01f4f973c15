#include "fetch/ProxySettings.h"
#include "fetch/IdentityLists.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(ProxySettings, FieldsToProxy)
{
    struct Case {
        QStringList params;
        bool enabled;
        QByteArray url;
        bool basicAuth;
    };
    const Case cases[] = {
        { { "proxy.example", "", "", "" }, true, "http://proxy.example:80", false },
        { { "10.0.0.1", "8080", "user", "" }, true, "http://10.0.0.1:8080", true },
        { { "10.0.0.1", "00081", "", "pw" }, true, "http://10.0.0.1:81", false },
        { { "::1", "3128", "", "" }, true, "http://[::1]:3128", false },
        { { "[::1]", "8080", "user", "pw" }, true, "http://[::1]:8080", true },
        { buildProxyList("[fe80::1:2]:3128"), true, "http://[fe80::1:2]:3128", false },
        { { "", "3128", "", "" }, false, "", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.params.join(u'|').toStdString());
        const ProxySettings s = parseProxyParams(&c.params);
        EXPECT_TRUE(s.valid);
        EXPECT_EQ(s.enabled, c.enabled);
        if (c.enabled) {
            EXPECT_EQ(s.curlProxyUrl(), c.url);
        }
        EXPECT_EQ(s.basicAuth, c.basicAuth);
    }
    const QStringList empty;
    EXPECT_FALSE(parseProxyParams(nullptr).enabled);
    EXPECT_FALSE(parseProxyParams(&empty).enabled);
    for (const char* host : { "fe80::1:zz", "[]", "[10.0.0.1]", "[::1", "::1]", "[[::1]]", "[", "[::1]x" }) {
        SCOPED_TRACE(host);
        const QStringList bad = { host, "80", "", "" };
        EXPECT_FALSE(parseProxyParams(&bad).valid);
    }
}
