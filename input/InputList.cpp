#include "input/InputList.h"

#include "base/Platform.h"

namespace tessaro {

namespace {

// Blanks at both ends only (the dialog and the scan hand over paths that may
// carry them); tabs and other characters stay.
std::string trimBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string formatTag(const std::string& path, bool trimmed)
{
    const std::string text = trimmed ? trimBlanks(path) : path;
    // Step back over three characters; a UTF-8 character is one lead byte
    // followed by its continuation bytes, so a multibyte name is never cut.
    std::size_t start = text.size();
    for (int taken = 0; taken < 3 && start > 0; ++taken) {
        --start;
        while (start > 0 && isContinuationByte(text[start]))
            --start;
    }
    std::string tag = text.substr(start);
    for (char& c : tag) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return tag;
}

void InputList::append(const std::string& path, Source source)
{
    m_paths.push_back(path);
    m_rows.push_back(InputRow{path, formatTag(path, source != Source::Drop)});
    if (changed)
        changed();
    updateHint();
}

void InputList::removeSelected(int row)
{
    if (row >= 1 && row <= count()) {
        m_rows.erase(m_rows.begin() + (row - 1));
        m_paths.erase(m_paths.begin() + (row - 1));
        if (changed)
            changed();
    }
    if (m_paths.empty())
        setHintVisible(true);
}

void InputList::removeAll()
{
    const bool hadEntries = !m_paths.empty();
    m_rows.clear();
    m_paths.clear();
    if (hadEntries && changed)
        changed();
    setHintVisible(true);
}

int InputList::count() const
{
    return static_cast<int>(m_paths.size());
}

std::string InputList::entry(int index) const
{
    return index >= 0 && index < count() ? m_paths[size_t(index)] : std::string();
}

void InputList::removeEntry(int index)
{
    if (index < 0 || index >= count())
        return;
    m_paths.erase(m_paths.begin() + index);
    m_rows.erase(m_rows.begin() + index);
    if (changed)
        changed();
}

const std::vector<InputRow>& InputList::rows() const
{
    return m_rows;
}

const std::vector<std::string>& InputList::paths() const
{
    return m_paths;
}

bool InputList::hintVisible() const
{
    return m_hintVisible;
}

void InputList::updateHint()
{
    setHintVisible(m_paths.empty());
}

void InputList::setHintVisible(bool visible)
{
    if (visible == m_hintVisible)
        return;
    m_hintVisible = visible;
    if (hintVisibilityChanged)
        hintVisibilityChanged(visible);
}

std::string ParsePath(const std::string& path)
{
    const auto pos = path.find_last_of(platform::kSeparators);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

}  // namespace tessaro
