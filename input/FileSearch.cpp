#include "input/FileSearch.h"

namespace tessaro {

void SearchFolder(const std::string& folder, std::vector<std::string>& found, MessagePump& pump)
{
    SearchFolder(folder, found, pump, kPumpInterval);
}

}  // namespace tessaro
