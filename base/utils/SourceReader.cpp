#include "base/utils/SourceReader.h"

#include "base/utils/ArenaAllocator.h"
#include "base/utils/CharFilter.h"

#include <cstring>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace {

const std::string emptyName;

bool isLineTerminatorPair(int first, int second) {
    return (first == '\r' && second == '\n') || (first == '\n' && second == '\r');
}

// The first line terminator (CR or LF, the characters of CharFilters::isEndOfLine) in
// [begin, end), or end. Two memchr scans are much faster than a test per character.
const char* findLineEnd(const char* begin, const char* end) {
    const void* lf = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
    const char* limit = lf ? static_cast<const char*>(lf) : end;
    const void* cr = std::memchr(begin, '\r', static_cast<size_t>(limit - begin));
    return cr ? static_cast<const char*>(cr) : limit;
}

// The characters a stream buffer holds are reachable only through its protected members;
// pointers to those members, formed in a derived class, may be used on any stream buffer.
struct BufferAccess : std::streambuf {
    static const char* begin(std::streambuf& buffer) { return (buffer.*&BufferAccess::gptr)(); }
    static const char* end(std::streambuf& buffer) { return (buffer.*&BufferAccess::egptr)(); }
    static void advance(std::streambuf& buffer, std::ptrdiff_t count) {
        (buffer.*&BufferAccess::gbump)(static_cast<int>(count));
    }
};

} // namespace

// --- SourceReader ---

SourceReader::SourceReader(const std::string& name) {
    setName(name);
}

SourceReader::SourceReader(const SourceReader& other)
    : m_lineNr(other.m_lineNr),
      m_name(other.m_name ? std::make_shared<const std::string>(*other.m_name) : nullptr) {}

SourceReader::SourceReader(SourceReader&& other) noexcept
    : m_lineNr(other.m_lineNr), m_name(std::move(other.m_name)),
      m_currentLine(std::move(other.m_currentLine)) {
    other.m_lineNr = 0;
    other.m_name.reset();
    other.m_currentLine.reset();
}

SourceReader& SourceReader::operator=(const SourceReader& other) {
    if (this != &other) {
        m_lineNr = other.m_lineNr;
        m_name = other.m_name ? std::make_shared<const std::string>(*other.m_name) : nullptr;
        m_currentLine.reset();
    }
    return *this;
}

SourceReader& SourceReader::operator=(SourceReader&& other) noexcept {
    if (this != &other) {
        m_lineNr = other.m_lineNr;
        m_name = std::move(other.m_name);
        m_currentLine = std::move(other.m_currentLine);
        other.m_lineNr = 0;
        other.m_name.reset();
        other.m_currentLine.reset();
    }
    return *this;
}

SourceReader::~SourceReader() = default;

bool SourceReader::start(UIStr& /*errorMessage*/) {
    m_currentLine.reset();
    m_lineNr = 0;
    return true;
}

void SourceReader::finish() {}

void SourceReader::setName(const std::string& name) {
    if (name.empty())
        m_name.reset();
    else
        m_name = std::make_shared<const std::string>(name);
}

const std::string& SourceReader::name() const {
    return m_name ? *m_name : emptyName;
}

SourceReader::line_ptr_t SourceReader::nextLine(bool concatenate) {
    if (m_lineNr < INT32_MAX) // a source of more lines keeps the last number, never wraps
        ++m_lineNr;
    if (isEndOfSource()) {
        m_currentLine.reset();
        return nullptr;
    }
    const std::string_view text = nextLineContents();
    if (m_currentLine && concatenate) {
        m_currentLine->concatLine(text.data(), text.size());
        return m_currentLine;
    }
    if (m_currentLine && m_currentLine.use_count() == 1) {
        // Nobody else holds the line: refill it instead of allocating a new one.
        m_currentLine->setLine(text.data(), text.size(), m_lineNr);
        if (m_currentLine->sourceName() != m_name)
            m_currentLine->setSourceName(m_name);
        return m_currentLine;
    }
    m_currentLine = makeArenaShared<SourceLine>(text.data(), text.size(), m_lineNr, m_name);
    return m_currentLine;
}

// --- StreamSourceReader ---

StreamSourceReader::StreamSourceReader(std::istream& stream) : m_stream(stream) {
    m_lineBuffer.reserve(1024);
}

StreamSourceReader::StreamSourceReader(std::istream& stream, const std::string& name)
    : SourceReader(name), m_stream(stream) {
    m_lineBuffer.reserve(1024);
}

bool StreamSourceReader::start(UIStr& errorMessage) {
    SourceReader::start(errorMessage);
    // A stream read to its end carries eof and fail; reading again starts from a clean
    // state. A bad stream stays bad.
    m_stream.clear(m_stream.rdstate() & std::ios::badbit);
    m_stream.seekg(0, std::ios::beg);
    if (m_stream.good())
        return true;
    if (m_stream.eof())
        errorMessage = "End of file reached";
    else if (m_stream.bad())
        errorMessage = "Read error";
    else
        errorMessage = "Logical error on read";
    return false;
}

void StreamSourceReader::finish() {
    m_stream.seekg(0, std::ios::end);
}

bool StreamSourceReader::isEndOfSource() {
    // Looking ahead also ends an empty source (or one whose last line had a terminator)
    // before it would deliver an extra empty line, and a stream that can read no more (after
    // finish, for example). But a look-ahead whose read failed answers EOF too, with the bad
    // flag set: that is no end, and the next line's read reports the error.
    if (m_stream.eof())
        return true;
    return m_stream.peek() == std::char_traits<char>::eof() && !m_stream.bad();
}

size_t StreamSourceReader::sourceLength() {
    UIStr message;
    if (!start(message))
        return 0;
    m_stream.seekg(0, std::ios::end);
    if (!m_stream.good())
        return 0;
    const std::streamoff length = m_stream.tellg();
    return length > 0 ? static_cast<size_t>(length) : 0;
}

std::string_view StreamSourceReader::nextLineContents() {
    m_lineBuffer.clear();
    int last = 0;
    std::streambuf* buffer = m_stream.rdbuf();
    if (!buffer) {
        m_stream.setstate(std::ios::badbit);
    } else if (m_stream.good()) {
        // Reading through the stream buffer avoids a sentry per character, and scanning
        // its buffered characters in place copies a line with one append.
        try {
            // Usually the line, its terminator and the character after it are all buffered:
            // the line is then handed out where it lies, valid until the next read.
            if (buffer->sgetc() != std::char_traits<char>::eof()) {
                const char* const begin = BufferAccess::begin(*buffer);
                const char* const end = BufferAccess::end(*buffer);
                const char* const stop = begin != end ? findLineEnd(begin, end) : end;
                if (end - stop >= 2) {
                    const char* next = stop + 1;
                    if (isLineTerminatorPair(static_cast<unsigned char>(stop[0]),
                                             static_cast<unsigned char>(stop[1])))
                        ++next;
                    BufferAccess::advance(*buffer, next - begin);
                    return {begin, static_cast<size_t>(stop - begin)};
                }
            }
            bool endOfLine = false;
            while (!endOfLine) {
                const int c = buffer->sgetc(); // refills the buffered characters
                if (c == std::char_traits<char>::eof()) {
                    m_stream.setstate(std::ios::eofbit | std::ios::failbit);
                    break;
                }
                const char* const begin = BufferAccess::begin(*buffer);
                const char* const end = BufferAccess::end(*buffer);
                if (begin == end) {
                    // A stream buffer without a get area: one character at a time.
                    buffer->sbumpc();
                    last = c;
                    endOfLine = CharFilters::isEndOfLine.accept(static_cast<char>(c));
                    if (!endOfLine)
                        m_lineBuffer.push_back(static_cast<char>(c));
                    continue;
                }
                const char* stop = findLineEnd(begin, end);
                m_lineBuffer.append(begin, stop);
                endOfLine = stop != end;
                if (endOfLine)
                    ++stop; // the terminator is consumed, not stored
                last = static_cast<unsigned char>(stop[-1]);
                BufferAccess::advance(*buffer, stop - begin);
            }
            if (endOfLine) {
                const int following = buffer->sgetc();
                if (following == std::char_traits<char>::eof())
                    m_stream.setstate(std::ios::eofbit);
                else if (isLineTerminatorPair(last, following))
                    buffer->sbumpc();
            }
        } catch (...) {
            m_stream.setstate(std::ios::badbit);
        }
    } else {
        m_stream.setstate(std::ios::failbit);
    }
    const bool bad = m_stream.bad();
    if ((!bad && !m_stream.fail()) || m_stream.eof())
        return m_lineBuffer;
    std::string message = stringCat("Reading from stream ", name());
    message.append(bad ? " resulted in 'bad' state (read error on i/o operation)."
                       : " resulted in 'fail' state (logical error on i/o operation)");
    append_(true, message, " Line read so far:\n", m_lineBuffer,
            "\nLast read character value = ", static_cast<int>(static_cast<signed char>(last)));
    throw std::runtime_error(message);
}

SourceReader::string_ptr_t StreamSourceReader::readFullSource() {
    const size_t length = sourceLength();
    if (length == 0)
        return nullptr;
    UIStr message;
    if (!start(message))
        return nullptr;
    auto text = std::make_shared<std::string>();
    text->resize(length);
    m_stream.read(text->data(), static_cast<std::streamsize>(length));
    text->resize(static_cast<size_t>(m_stream.gcount()));
    if (m_stream.good())
        text->append(std::istreambuf_iterator<char>(m_stream), std::istreambuf_iterator<char>());
    finish();
    return text;
}

// --- FileSourceReader ---

FileSourceReader::FileSourceReader(const std::string& fileName)
    : StreamSourceReader(m_file, fileName) {}

void FileSourceReader::closeFile() {
    m_file.close(); // a failed close sets the fail flag
}

bool FileSourceReader::start(UIStr& errorMessage) {
    if (m_file.is_open())
        closeFile();
    std::error_code error;
    // A directory opens like a file on some systems but yields no text.
    if (!std::filesystem::is_directory(name(), error))
        m_file.open(name(), std::ios::in | std::ios::binary);
    if (!m_file.is_open()) {
        errorMessage = stringCat("Could not open input file '", name(), "' for reading");
        return false;
    }
    return StreamSourceReader::start(errorMessage);
}

void FileSourceReader::finish() {
    StreamSourceReader::finish();
    closeFile();
}

bool FileSourceReader::isEndOfSource() {
    return !m_file.is_open() || StreamSourceReader::isEndOfSource();
}

// --- StringSourceReader ---

StringSourceReader::StringSourceReader(const std::string& text)
    : m_source(std::make_shared<const std::string>(text)) {}

StringSourceReader::StringSourceReader(std::string&& text)
    : m_source(std::make_shared<const std::string>(std::move(text))) {}

StringSourceReader::StringSourceReader(string_ptr_t text) : m_source(std::move(text)) {}

StringSourceReader::StringSourceReader(const std::string& text, const std::string& name)
    : SourceReader(name), m_source(std::make_shared<const std::string>(text)) {}

StringSourceReader::StringSourceReader(std::string&& text, const std::string& name)
    : SourceReader(name), m_source(std::make_shared<const std::string>(std::move(text))) {}

StringSourceReader::StringSourceReader(string_ptr_t text, const std::string& name)
    : SourceReader(name), m_source(std::move(text)) {}

bool StringSourceReader::start(UIStr& /*errorMessage*/) {
    m_index = 0;
    return true;
}

void StringSourceReader::finish() {
    m_index = finished;
}

bool StringSourceReader::isEndOfSource() {
    return !m_source || m_index == finished || m_index >= m_source->size();
}

size_t StringSourceReader::sourceLength() {
    return m_source ? m_source->size() : 0;
}

std::string_view StringSourceReader::nextLineContents() {
    if (isEndOfSource())
        return {};
    const std::string_view source(*m_source);
    size_t end = m_index;
    while (end < source.size() && !CharFilters::isEndOfLine.accept(source[end]))
        ++end;
    const std::string_view line = source.substr(m_index, end - m_index);
    if (end < source.size()) {
        ++end;
        if (end < source.size() && isLineTerminatorPair(source[end - 1], source[end]))
            ++end;
    }
    m_index = end;
    return line;
}

SourceReader::string_ptr_t StringSourceReader::readFullSource() {
    return m_source;
}

// --- CharArraySourceReader ---

CharArraySourceReader::CharArraySourceReader(const char* text)
    : CharArraySourceReader(text, text ? std::strlen(text) : 0) {}

CharArraySourceReader::CharArraySourceReader(const char* text, size_t length)
    : m_begin(text), m_end(text ? text + length : nullptr), m_current(text) {}

CharArraySourceReader::CharArraySourceReader(const char* text, const std::string& name)
    : CharArraySourceReader(text, text ? std::strlen(text) : 0, name) {}

CharArraySourceReader::CharArraySourceReader(const char* text, size_t length,
                                             const std::string& name)
    : SourceReader(name), m_begin(text), m_end(text ? text + length : nullptr), m_current(text) {}

bool CharArraySourceReader::start(UIStr& errorMessage) {
    SourceReader::start(errorMessage);
    m_current = m_begin;
    if (!m_begin) {
        errorMessage = "Empty character array source";
        return false;
    }
    return true;
}

void CharArraySourceReader::finish() {
    m_current = m_end;
}

bool CharArraySourceReader::isEndOfSource() {
    return m_current == m_end || !m_current || *m_current == '\0';
}

size_t CharArraySourceReader::sourceLength() {
    return static_cast<size_t>(m_end - m_begin);
}

std::string_view CharArraySourceReader::nextLineContents() {
    if (isEndOfSource())
        return {};
    const char* end = m_current;
    while (end != m_end && !CharFilters::isEndOfLine.accept(*end))
        ++end;
    const std::string_view line(m_current, static_cast<size_t>(end - m_current));
    m_current = end == m_end ? end : end + 1;
    return line;
}

SourceReader::string_ptr_t CharArraySourceReader::readFullSource() {
    if (m_begin == m_end)
        return nullptr;
    return std::make_shared<const std::string>(m_begin, m_end);
}
