#pragma once

#include <QStringView>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::xlsdump {

// Lines go into buffers of about a megabyte: standard output's is written out whenever it
// fills, a thread's own are kept in order until it is their turn.
class Output {
public:
    explicit Output(bool toStdout) : m_toStdout(toStdout) { startBuffer(); }
    ~Output() {
        if (m_toStdout)
            flush();
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Room for count more bytes: write there, then commit() where the writing ended.
    char* room(std::size_t count) {
        if (m_capacity - m_size < count)
            grow(count);
        return m_data.get() + m_size;
    }
    void commit(const char* end) { m_size = std::size_t(end - m_data.get()); }
    void append(std::string_view text) {
        std::memcpy(room(text.size()), text.data(), text.size());
        m_size += text.size();
    }
    // The text as UTF-8 with tab, carriage return, line feed and backslash escaped.
    void appendEscaped(QStringView text);
    // UTF-8 text, escaped the same way.
    void appendEscapedUtf8(std::string_view text);
    void endLine() {
        *room(1) = '\n';
        ++m_size;
        if (m_size >= kBufferSize) {
            if (m_toStdout)
                flush();
            else
                keepBuffer();
        }
    }
    void flush() {
        std::fwrite(m_data.get(), 1, m_size, stdout);
        std::fflush(stdout);
        m_size = 0;
    }
    // Writes out what a thread's own buffers hold, and empties them.
    void writeOut() {
        for (const std::string& kept : m_kept)
            std::fwrite(kept.data(), 1, kept.size(), stdout);
        m_kept.clear();
        flush();
    }

private:
    static constexpr std::size_t kBufferSize = 1 << 20;

    void startBuffer() {
        m_capacity = kBufferSize + 4096;
        m_data = std::make_unique<char[]>(m_capacity);
        m_size = 0;
    }
    void grow(std::size_t count) {
        const std::size_t capacity = std::max(m_capacity * 2, m_size + count);
        auto data = std::make_unique<char[]>(capacity);
        std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }
    void keepBuffer() {
        m_kept.emplace_back(m_data.get(), m_size);
        m_size = 0;
    }

    bool m_toStdout;
    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    std::vector<std::string> m_kept;
};

// Whether UTF-8 text holds a character the dump escapes.
bool needsEscape(std::string_view text);

} // namespace kestrel::xlsdump
