#include "platform/Locale.h"

#include <langinfo.h>
#include <strings.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

bool CharacterTypeIsUtf8() {
    if (!std::setlocale(LC_CTYPE, "")) return false;
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0);
}

}  // namespace

bool UseUtf8Locale() {
    if (CharacterTypeIsUtf8()) return false;
    // LC_ALL outranks LC_CTYPE; set through the environment so that Qt, Xlib and any
    // program started from here agree.
    const char* all = std::getenv("LC_ALL");
    const char* variable = (all && *all) ? "LC_ALL" : "LC_CTYPE";
    const char* before = std::getenv(variable);
    const std::string previous = before ? before : "";
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        if (setenv(variable, name, 1) == 0 && CharacterTypeIsUtf8()) return true;
    }
    // No UTF-8 locale is installed: leave the caller's as it was.
    if (before) {
        setenv(variable, previous.c_str(), 1);
    } else {
        unsetenv(variable);
    }
    CharacterTypeIsUtf8();
    return false;
}

}  // namespace platform
