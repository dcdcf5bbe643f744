#pragma once
// Splits a child's output, as it is read in blocks, into lines for a callback.

#include <cstddef>
#include <functional>
#include <string>

namespace tessaro {

// A CR ends a line as well as an LF (ffmpeg redraws its status in place); an
// empty line is not handed on. flush() hands on what is left at the end.
class LineSplitter {
public:
    explicit LineSplitter(const std::function<void(const std::string&)>& sink) : m_sink(sink) {}
    void feed(const char* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (data[i] == '\n' || data[i] == '\r')
                flush();
            else
                m_line.push_back(data[i]);
        }
    }
    void flush() {
        if (!m_line.empty() && m_sink) m_sink(m_line);
        m_line.clear();
    }

private:
    const std::function<void(const std::string&)>& m_sink;
    std::string m_line;
};

}  // namespace tessaro
