#include "settings/SettingsEncoding.h"

namespace tessaro {

std::string settingsTextFromFile(const std::string& bytes) { return bytes; }

std::string settingsFileFromText(const std::string& text) { return text; }

}  // namespace tessaro
