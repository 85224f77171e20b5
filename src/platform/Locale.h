#pragma once
// The program's own texts (window titles, messages, reports) are UTF-8 whatever locale the
// caller gives it; names on disk are bytes and need no locale.

namespace platform {

// When the caller's locale has no UTF-8 character type (nothing set, "C", "POSIX", a legacy
// code set), switches this process and its children to a UTF-8 one. Call first in main(),
// before any Qt object exists. Returns true when it changed the locale.
bool UseUtf8Locale();

}  // namespace platform
