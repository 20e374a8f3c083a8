// Buffered text output in large blocks: formatting code appends to one buffer without a call
// per piece, and the buffer goes to its destination whenever it fills. The first failure is
// remembered; output after it is dropped.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

class TextOutput {
public:
    static constexpr size_t s_blockSize = size_t{1} << 16;

    TextOutput();
    virtual ~TextOutput();
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;

    void append(std::string_view text) {
        if (text.size() > s_blockSize - m_used)
            appendLong(text);
        else
            m_used += text.copy(m_buffer.get() + m_used, text.size());
    }
    void append(char c) { *room(1) = c, advance(1); }
    // Space for `size` (at most s_blockSize) bytes at the end of the buffer; advance() then
    // takes what was written there.
    char* room(size_t size) {
        if (size > s_blockSize - m_used)
            flushBuffer();
        return m_buffer.get() + m_used;
    }
    void advance(size_t size) { m_used += size; }

    // Hands the buffer to the destination; false once anything failed.
    bool flush();
    bool failed() const { return m_failed; }
    // What failed, for a message.
    const std::string& error() const { return m_error; }

protected:
    // Writes one block to the destination; false (after setError) when it failed.
    virtual bool writeBlock(std::string_view block) = 0;
    void setError(std::string error);
    // The buffer's contents are dropped, as after a failure.
    void discardBuffer() { m_used = 0; }

private:
    void flushBuffer();
    void appendLong(std::string_view text);

    std::unique_ptr<char[]> m_buffer;
    size_t m_used = 0;
    bool m_failed = false;
    std::string m_error;
};

// Appends text, characters and numbers into room taken from a TextOutput, without a check per
// piece: whoever creates it asks for as much room as the pieces can take (a number at most
// s_maxChars<T>). The destructor hands the bytes written over to the output.
class RoomAppender {
public:
    // The characters of the longest number of type T, its sign included.
    template <class T>
    static constexpr size_t s_maxChars =
        std::numeric_limits<T>::digits10 + 1 + std::numeric_limits<T>::is_signed;

    RoomAppender(TextOutput& out, size_t room)
        : m_out(out), m_room(room), m_begin(out.room(room)), m_p(m_begin) {}
    ~RoomAppender() { m_out.advance(static_cast<size_t>(m_p - m_begin)); }
    RoomAppender(const RoomAppender&) = delete;
    RoomAppender& operator=(const RoomAppender&) = delete;

    RoomAppender& operator<<(std::string_view text) {
        std::memcpy(m_p, text.data(), text.size());
        m_p += text.size();
        return *this;
    }
    RoomAppender& operator<<(char c) {
        *m_p++ = c;
        return *this;
    }
    RoomAppender& operator<<(int32_t value) { return number(value); }
    RoomAppender& operator<<(uint32_t value) { return number(value); }
    RoomAppender& operator<<(uint64_t value) { return number(value); }

    // For a piece of unbounded length: hands what was written so far over, lets
    // `write(output)` append to the output itself, then takes the same room again.
    template <class Write> RoomAppender& direct(Write write) {
        m_out.advance(static_cast<size_t>(m_p - m_begin));
        write(m_out);
        m_begin = m_p = m_out.room(m_room);
        return *this;
    }

private:
    template <class T> RoomAppender& number(T value) {
        // The bound is a constant, so the length check folds away; the room holds it.
        m_p = std::to_chars(m_p, m_p + s_maxChars<T>, value).ptr;
        return *this;
    }

    TextOutput& m_out;
    size_t m_room;
    char* m_begin;
    char* m_p;
};

// `text` as one CSV field: in double quotes, with its quotes doubled, when it holds a comma,
// a quote or a line break.
void appendCsvField(TextOutput& out, std::string_view text);

// Collects the text in a string.
class StringOutput : public TextOutput {
public:
    // The text so far (flushes).
    const std::string& text() {
        flush();
        return m_text;
    }

protected:
    bool writeBlock(std::string_view block) override {
        m_text.append(block);
        return true;
    }

private:
    std::string m_text;
};

// One log message too long to build in memory, written in pieces: the constructor writes the
// line's prefix at `level`, finish() the line's end. Pieces of other threads' log lines may
// come between the blocks.
class LogOutput : public TextOutput {
public:
    explicit LogOutput(int level);
    ~LogOutput() override;
    // Ends the message; the destructor does it when nobody did.
    void finish();

protected:
    bool writeBlock(std::string_view block) override;

private:
    bool m_finished = false;
};
