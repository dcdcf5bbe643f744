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

void InputList::appendRow(const InputRow& row)
{
    m_paths.push_back(row.path);
    m_rows.push_back(row);
    m_failed += row.failed ? 1 : 0;
    if (changed)
        changed();
    if (row.failed && rowChanged)
        rowChanged(rowCount() - 1);
    updateHint();
}

void InputList::removeSelected(int row)
{
    if (row >= 1 && row <= rowCount()) {
        m_failed -= m_rows[size_t(row - 1)].failed ? 1 : 0;
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
    m_failed = 0;
    if (hadEntries && changed)
        changed();
    setHintVisible(true);
}

int InputList::count() const
{
    return rowCount() - m_failed;
}

int InputList::rowCount() const
{
    return static_cast<int>(m_rows.size());
}

int InputList::rowOfEntry(int index) const
{
    if (index < 0 || index >= count())
        return -1;
    if (m_failed == 0)
        return index;
    for (int row = 0; row < rowCount(); ++row)
        if (!m_rows[size_t(row)].failed && index-- == 0)
            return row;
    return -1;
}

std::string InputList::entry(int index) const
{
    const int row = rowOfEntry(index);
    return row >= 0 ? m_paths[size_t(row)] : std::string();
}

void InputList::removeEntry(int index)
{
    const int row = rowOfEntry(index);
    if (row < 0)
        return;
    m_paths.erase(m_paths.begin() + row);
    m_rows.erase(m_rows.begin() + row);
    if (changed)
        changed();
}

void InputList::failEntry(int index, const std::string& reason)
{
    const int row = rowOfEntry(index);
    if (row < 0)
        return;
    m_rows[size_t(row)].failed = true;
    m_rows[size_t(row)].reason = reason;
    ++m_failed;
    if (rowChanged)
        rowChanged(row);
}

int InputList::retryFailed()
{
    const int failed = m_failed;
    for (int row = 0; m_failed > 0 && row < rowCount(); ++row) {
        InputRow& r = m_rows[size_t(row)];
        if (!r.failed)
            continue;
        r.failed = false;
        r.reason.clear();
        --m_failed;
        if (rowChanged)
            rowChanged(row);
    }
    return failed;
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
