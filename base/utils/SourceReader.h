// Source readers deliver assembly text one line at a time as shared SourceLine objects,
// whether it comes from a file, an open input stream, a string or a character array.
#pragma once

#include "base/utils/SourceLine.h"
#include "base/utils/stringUtils.h"

#include <cstdint>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

class SourceReader {
public:
    using line_ptr_t = std::shared_ptr<const SourceLine>;
    using string_ptr_t = std::shared_ptr<const std::string>;

    SourceReader() = default;
    explicit SourceReader(const std::string& name);
    // A copy gets its own copy of the name and no current line.
    SourceReader(const SourceReader& other);
    // A move takes name and current line and leaves the source at line 0 without either.
    SourceReader(SourceReader&& other) noexcept;
    SourceReader& operator=(const SourceReader& other);
    SourceReader& operator=(SourceReader&& other) noexcept;
    virtual ~SourceReader();

    // Prepare reading from the beginning; on failure fill `errorMessage` and return false.
    virtual bool start(UIStr& errorMessage);
    // Stop reading and release what reading holds.
    virtual void finish();
    virtual bool isEndOfSource() = 0;
    // Size of the whole source in characters, 0 when it cannot be told.
    virtual size_t sourceLength() = 0;
    // The next physical line without its terminator. The view stays valid until the next
    // read operation on this reader (or, for string and array readers, as long as the
    // source text lives).
    virtual std::string_view nextLineContents() = 0;
    // The whole source, or null.
    virtual string_ptr_t readFullSource() = 0;

    // A non-empty name goes into a new shared string; an empty name clears it.
    void setName(const std::string& name);
    // The name, or an empty string when none is set.
    const std::string& name() const;
    const string_ptr_t& namePtr() const { return m_name; }
    int32_t lineNr() const { return m_lineNr; }

    // The next line, or null at the end of the source. With `concatenate` the text is
    // appended to the current line. A line object that nobody else holds any more is
    // reused, so callers that drop their lines cause no allocation per line.
    line_ptr_t nextLine(bool concatenate = false);

protected:
    int32_t m_lineNr = 0;
    string_ptr_t m_name;
    std::shared_ptr<SourceLine> m_currentLine;
};

// Reads from an input stream owned by the caller (or by a derived class).
class StreamSourceReader : public SourceReader {
public:
    explicit StreamSourceReader(std::istream& stream);
    StreamSourceReader(std::istream& stream, const std::string& name);
    StreamSourceReader(const StreamSourceReader&) = delete;
    StreamSourceReader& operator=(const StreamSourceReader&) = delete;

    bool start(UIStr& errorMessage) override;
    void finish() override;
    bool isEndOfSource() override;
    size_t sourceLength() override;
    std::string_view nextLineContents() override;
    string_ptr_t readFullSource() override;

protected:
    std::istream& m_stream;

private:
    std::string m_lineBuffer;
};

namespace source_reader_detail {
// Holds the file stream so that it is constructed before the stream reader refers to it.
struct FileHolder {
    std::ifstream m_file;
};
} // namespace source_reader_detail

// Reads the file whose name is the reader's name.
class FileSourceReader : private source_reader_detail::FileHolder, public StreamSourceReader {
public:
    explicit FileSourceReader(const std::string& fileName);

    bool start(UIStr& errorMessage) override;
    void finish() override;
    bool isEndOfSource() override;

private:
    void closeFile();
};

// Reads from a shared string held in memory.
class StringSourceReader : public SourceReader {
public:
    explicit StringSourceReader(const std::string& text);
    explicit StringSourceReader(std::string&& text);
    explicit StringSourceReader(string_ptr_t text);
    StringSourceReader(const std::string& text, const std::string& name);
    StringSourceReader(std::string&& text, const std::string& name);
    StringSourceReader(string_ptr_t text, const std::string& name);

    // Restarts at the first character but keeps counting lines.
    bool start(UIStr& errorMessage) override;
    void finish() override;
    bool isEndOfSource() override;
    size_t sourceLength() override;
    std::string_view nextLineContents() override;
    string_ptr_t readFullSource() override;

private:
    static constexpr size_t finished = static_cast<size_t>(-1);
    string_ptr_t m_source;
    size_t m_index = 0;
};

// Reads from a character range owned by the caller, which must outlive the reader.
class CharArraySourceReader : public SourceReader {
public:
    CharArraySourceReader() = default;
    explicit CharArraySourceReader(const char* text);
    CharArraySourceReader(const char* text, size_t length);
    CharArraySourceReader(const char* text, const std::string& name);
    CharArraySourceReader(const char* text, size_t length, const std::string& name);

    bool start(UIStr& errorMessage) override;
    void finish() override;
    bool isEndOfSource() override;
    size_t sourceLength() override;
    std::string_view nextLineContents() override;
    string_ptr_t readFullSource() override;

private:
    const char* m_begin = nullptr;
    const char* m_end = nullptr;
    const char* m_current = nullptr;
};
