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
    // (other than -1) changes nothing and returns false. -1 clears the
    // selection and keeps the text as it stands (a drop-down list then shows
    // no selection; an editable combo keeps showing its text).
    bool setPosition(int position);
    // The program writing a text, as a combo's text property does: the text
    // shows, and the position is that of the first list entry spelled exactly
    // so, or -1 when the text is no entry ("1200", "28000").
    void setText(const std::string& text);
    // The user typing into the edit part: the text shows, the position becomes
    // -1 even when the text happens to spell an entry.
    void typeText(const std::string& text);
    // The program giving the combo another list (the fields take the lists of
    // the chosen format). The text stays as it shows and takes the position it
    // has in the new list, as setText() gives it; -1 when it is no entry.
    void setList(std::vector<std::string> list);

private:
    std::vector<std::string> m_list;
    std::string m_text;
    int m_position = -1;
};

}  // namespace tessaro
