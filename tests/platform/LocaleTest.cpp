// The program's texts do not depend on the caller's locale.
#include <gtest/gtest.h>
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "platform/Locale.h"

namespace {

struct LocaleCase {
    const char* what;
    std::vector<std::pair<const char*, const char*>> environment;
    bool changes;
    // The variable that must hold the caller's value afterwards (nullptr: none).
    const char* kept;
    const char* keptValue;
};

TEST(Locale, CharacterTypeIsUtf8WhateverTheCallerSets) {
    const std::vector<LocaleCase> cases = {
        {"nothing set", {}, true, nullptr, nullptr},
        {"LANG=C", {{"LANG", "C"}}, true, "LANG", "C"},
        {"LC_ALL=POSIX over a UTF-8 LANG",
         {{"LANG", "C.UTF-8"}, {"LC_ALL", "POSIX"}},
         true,
         "LANG",
         "C.UTF-8"},
        {"a locale that does not exist", {{"LANG", "xx_YY.ISO-8859-1"}}, true, nullptr, nullptr},
        {"LANG=C.UTF-8", {{"LANG", "C.UTF-8"}, {"LC_MESSAGES", "C"}}, false, "LC_MESSAGES", "C"},
        {"LC_CTYPE=C.UTF-8 with LANG=C",
         {{"LANG", "C"}, {"LC_CTYPE", "C.UTF-8"}},
         false,
         "LANG",
         "C"},
    };
    for (const LocaleCase& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RunInChild([&] {
            clearenv();
            for (const auto& [name, value] : c.environment) setenv(name, value, 1);
            EXPECT_EQ(platform::UseUtf8Locale(), c.changes);
            EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
            // What a program started from here sees.
            ASSERT_NE(std::setlocale(LC_CTYPE, ""), nullptr);
            EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
            if (c.kept) {
                EXPECT_STREQ(std::getenv(c.kept), c.keptValue);
            }
            // A second call finds nothing to do.
            EXPECT_FALSE(platform::UseUtf8Locale());
        });
    }
}

}  // namespace
