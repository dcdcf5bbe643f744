#include "shell/WindowCommands.h"

namespace tessaro {

WindowCommands& windowCommands() {
    static WindowCommands commands;
    return commands;
}

}  // namespace tessaro
