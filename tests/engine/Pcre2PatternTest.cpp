#include "engine/Pcre2Pattern.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

TEST(Pcre2Pattern, UsesTheJitWhereItExists)
{
    std::uint32_t jit = 0;
    pcre2_config(PCRE2_CONFIG_JIT, &jit);
    Pcre2Pattern pattern("<a href=\"([^\"]+)\"", Pcre2Pattern::Case::Insensitive);
    EXPECT_EQ(pattern.usesJit(), jit == 1);
    Pcre2Pattern interpreted("(*NO_JIT)a", Pcre2Pattern::Case::Insensitive);
    EXPECT_FALSE(interpreted.usesJit());
}

TEST(Pcre2Pattern, CompileErrorsAndGroups)
{
    EXPECT_THROW(Pcre2Pattern("a(", Pcre2Pattern::Case::Sensitive), PatternError);
    EXPECT_THROW(Pcre2Pattern("a\\C", Pcre2Pattern::Case::Sensitive), PatternError);

    Pcre2Pattern pattern("(?J)(?<n>a)(b)|(?<n>c)", Pcre2Pattern::Case::Sensitive);
    EXPECT_EQ(pattern.captureCount(), 3);
    EXPECT_EQ(pattern.groupNumbers("n"), (std::vector<int> { 1, 3 }));
    EXPECT_TRUE(pattern.groupNumbers("m").empty());
    ASSERT_EQ(pattern.match("xc", 0), 4); // 1 + the highest group set
    EXPECT_EQ(pattern.group(3), (std::pair<std::size_t, std::size_t> { 1, 2 }));
    EXPECT_EQ(pattern.group(1).first, PCRE2_UNSET);
    EXPECT_EQ(pattern.match("xc", 2), PCRE2_ERROR_NOMATCH);
}
