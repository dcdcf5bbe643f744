#include "settings/ComboValue.h"

#include <algorithm>
#include <utility>

namespace tessaro {

ComboValue::ComboValue(std::vector<std::string> list) : m_list(std::move(list)) {}

const std::vector<std::string>& ComboValue::list() const { return m_list; }

const std::string& ComboValue::text() const { return m_text; }

int ComboValue::position() const { return m_position; }

bool ComboValue::setPosition(int position) {
    if (position == -1) {
        m_position = -1;
        return true;
    }
    if (position < 0 || position >= static_cast<int>(m_list.size())) return false;
    m_position = position;
    m_text = m_list[static_cast<size_t>(position)];
    return true;
}

void ComboValue::setText(const std::string& text) {
    m_text = text;
    const auto it = std::find(m_list.begin(), m_list.end(), text);
    m_position = it == m_list.end() ? -1 : static_cast<int>(it - m_list.begin());
}

void ComboValue::setList(std::vector<std::string> list) {
    m_list = std::move(list);
    setText(m_text);
}

void ComboValue::typeText(const std::string& text) {
    m_text = text;
    m_position = -1;
}

}  // namespace tessaro
