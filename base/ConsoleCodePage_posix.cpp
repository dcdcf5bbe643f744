#include "base/ConsoleCodePage.h"

namespace tessaro::platform {

// A terminal shows the bytes in the locale's encoding, UTF-8 here.
void useUtf8Console() {}

}  // namespace tessaro::platform
