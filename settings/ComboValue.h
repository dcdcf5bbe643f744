#pragma once
// The value of an editable combo (or a drop-down list): the displayed text
// and the list position, -1 when the text is not a picked entry.

#include <string>
#include <vector>

namespace tessaro {

class ComboValue {
public:
    explicit ComboValue(std::vector<std::string> list = {});

    const std::vector<std::string>& list() const;
    const std::string& text() const;
    int position() const;  // -1: typed, written or nothing picked

    // Picking entry i sets text and position; a position outside the list
    // (other than -1, which clears the selection) changes nothing and
    // returns false.
    bool setPosition(int position);
    // Typing or writing a text: the text shows, the position becomes -1.
    void setText(const std::string& text);

private:
    std::vector<std::string> m_list;
    std::string m_text;
    int m_position = -1;
};

}  // namespace tessaro
