#include "base/utils/SourceReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string visible(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return out;
}

class TempFile {
public:
    explicit TempFile(const std::string& contents) {
        static int counter = 0;
        m_path = fs::temp_directory_path() /
                 ("vexa_reader_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        std::ofstream(m_path, std::ios::binary) << contents;
    }
    ~TempFile() { fs::remove(m_path); }
    std::string name() const { return m_path.string(); }

private:
    fs::path m_path;
};

// Reads every line, checks the numbering and that the end stays the end.
std::vector<std::string> readAll(SourceReader& reader) {
    std::vector<std::string> lines;
    UIStr message;
    EXPECT_TRUE(reader.start(message)) << message;
    while (auto line = reader.nextLine(false)) {
        lines.push_back(line->toString());
        EXPECT_EQ(line->lineNr(), static_cast<int32_t>(lines.size()));
        if (lines.size() > 100)
            break;
    }
    EXPECT_EQ(reader.nextLine(false), nullptr);
    reader.finish();
    return lines;
}

struct TerminatorRow {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

const std::vector<TerminatorRow>& terminatorRows() {
    static const std::vector<TerminatorRow> rows = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF CR", "a\n\rb\n\r", {"a", "b"}},
        {"lone CR", "a\rb\r", {"a", "b"}},
        {"lone LF", "a\nb\n", {"a", "b"}},
        {"no final terminator", "first\nlast", {"first", "last"}},
        {"empty", "", {}},
        {"only terminators", "\n\n", {"", ""}},
        {"CR LF pairs only", "\r\n\r\n", {"", ""}},
        {"single LF", "\n", {""}},
        {"blank lines", "a\n\n\nb", {"a", "", "", "b"}},
        {"CR CR LF", "x\r\r\ny", {"x", "", "y"}},
        {"LF LF CR", "x\n\n\ry", {"x", "", "y"}},
        {"NUL inside", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
    };
    return rows;
}

TEST(SourceReaderTest, FileStringAndStreamReadersEndEachLineOnce) {
    for (const TerminatorRow& row : terminatorRows()) {
        SCOPED_TRACE(std::string(row.name) + ": " + visible(row.text));
        TempFile file(row.text);
        FileSourceReader fileReader(file.name());
        EXPECT_EQ(readAll(fileReader), row.lines) << "file";

        StringSourceReader stringReader(row.text, "str");
        EXPECT_EQ(readAll(stringReader), row.lines) << "string";

        std::istringstream stream(row.text);
        StreamSourceReader streamReader(stream, "stream");
        EXPECT_EQ(readAll(streamReader), row.lines) << "stream";
    }
}

TEST(SourceReaderTest, CharArrayReaderSkipsExactlyOneTerminator) {
    const TerminatorRow rows[] = {
        {"CR LF", "a\r\nb", {"a", "", "b"}},
        {"lone CR", "a\rb\r", {"a", "b"}},
        {"no final terminator", "a\nb", {"a", "b"}},
        {"empty", "", {}},
        {"NUL at a line start ends the source", std::string("a\n\0b\n", 5), {"a"}},
    };
    for (const TerminatorRow& row : rows) {
        SCOPED_TRACE(row.name);
        CharArraySourceReader reader(row.text.data(), row.text.size(), "array");
        EXPECT_EQ(readAll(reader), row.lines);
        EXPECT_EQ(reader.sourceLength(), row.text.size());
    }
    CharArraySourceReader fromCString("x\ny");
    EXPECT_EQ(readAll(fromCString), (std::vector<std::string>{"x", "y"}));

    CharArraySourceReader null(nullptr);
    UIStr message;
    EXPECT_FALSE(null.start(message));
    EXPECT_EQ(message, "Empty character array source");
    EXPECT_EQ(null.nextLine(false), nullptr);
    EXPECT_EQ(null.readFullSource(), nullptr);
}

TEST(SourceReaderTest, UnopenableFileIsReportedByStart) {
    const std::string name = (fs::temp_directory_path() / "vexa_no_such_dir" / "x.s").string();
    FileSourceReader reader(name);
    UIStr message;
    EXPECT_FALSE(reader.start(message));
    EXPECT_EQ(message, "Could not open input file '" + name + "' for reading");
    EXPECT_EQ(reader.nextLine(false), nullptr);

    FileSourceReader directory(fs::temp_directory_path().string());
    EXPECT_FALSE(directory.start(message));
    EXPECT_EQ(message,
              "Could not open input file '" + fs::temp_directory_path().string() + "' for reading");
}

TEST(SourceReaderTest, LinesCarryTheSharedSourceName) {
    TempFile file("one\ntwo\n");
    FileSourceReader reader(file.name());
    UIStr message;
    ASSERT_TRUE(reader.start(message));
    const auto first = reader.nextLine(false);
    const auto second = reader.nextLine(false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->getSourceRef(), file.name() + ":1");
    EXPECT_EQ(second->getSourceRef(4), file.name() + ":2:4");
    EXPECT_EQ(first->sourceName(), second->sourceName());

    reader.setName("renamed");
    EXPECT_EQ(*first->sourceName(), file.name());
}

TEST(SourceReaderTest, LineObjectIsReusedOnlyWhenTheCallerDroppedIt) {
    StringSourceReader reader(std::string("l1\nl2\nl3\nl4\n"));
    UIStr message;
    ASSERT_TRUE(reader.start(message));

    std::vector<SourceReader::line_ptr_t> kept;
    kept.push_back(reader.nextLine(false));
    kept.push_back(reader.nextLine(false));
    ASSERT_NE(kept[0], kept[1]);
    EXPECT_EQ(kept[0]->toString(), "l1");
    EXPECT_EQ(kept[0]->lineNr(), 1);
    EXPECT_EQ(kept[1]->lineNr(), 2);

    kept.clear();
    const SourceLine* address = reader.nextLine(false).get();
    const auto again = reader.nextLine(false);
    EXPECT_EQ(again.get(), address);
    EXPECT_EQ(again->toString(), "l4");
    EXPECT_EQ(again->lineNr(), 4);
}

TEST(SourceReaderTest, RestartingFileStartsOverAndStringKeepsCounting) {
    TempFile file("a\nb\n");
    FileSourceReader fileReader(file.name());
    EXPECT_EQ(readAll(fileReader).size(), 2u);
    EXPECT_EQ(readAll(fileReader).size(), 2u); // numbering checked from 1 again

    StringSourceReader stringReader(std::string("a\nb"));
    UIStr message;
    stringReader.start(message);
    while (stringReader.nextLine(false)) {
    }
    stringReader.start(message);
    const auto line = stringReader.nextLine(false);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->toString(), "a");
    EXPECT_GT(line->lineNr(), 2);

    std::istringstream stream("s1\ns2");
    StreamSourceReader streamReader(stream);
    EXPECT_EQ(readAll(streamReader).size(), 2u);
    EXPECT_EQ(readAll(streamReader).size(), 2u);
}

TEST(SourceReaderTest, FullSourceAndLength) {
    const std::string text = "line 1\r\nline 2\n";
    TempFile file(text);
    FileSourceReader fileReader(file.name());
    EXPECT_EQ(fileReader.sourceLength(), text.size());
    const auto fromFile = fileReader.readFullSource();
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(*fromFile, text);

    auto shared = std::make_shared<const std::string>(text);
    StringSourceReader stringReader(shared);
    EXPECT_EQ(stringReader.readFullSource(), shared);
    EXPECT_EQ(stringReader.sourceLength(), text.size());

    CharArraySourceReader arrayReader(text.c_str());
    ASSERT_NE(arrayReader.readFullSource(), nullptr);
    EXPECT_EQ(*arrayReader.readFullSource(), text);

    TempFile empty("");
    FileSourceReader emptyReader(empty.name());
    EXPECT_EQ(emptyReader.readFullSource(), nullptr);
}

// Delivers its text and then fails like a device with a read error.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::string text) : m_text(std::move(text)) {
        setg(m_text.data(), m_text.data(), m_text.data() + m_text.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("device error"); }

private:
    std::string m_text;
};

// Hands out its text `chunk` characters at a time, so that lines and CR LF pairs are cut
// across refills; with chunk 0 it keeps no get area and gives one character per call.
class ChunkedBuffer : public std::streambuf {
public:
    ChunkedBuffer(std::string text, size_t chunk) : m_text(std::move(text)), m_chunk(chunk) {}

protected:
    int_type underflow() override {
        if (m_pos >= m_text.size())
            return traits_type::eof();
        if (m_chunk == 0)
            return traits_type::to_int_type(m_text[m_pos]);
        const size_t n = std::min(m_chunk, m_text.size() - m_pos);
        char* begin = m_text.data() + m_pos;
        setg(begin, begin, begin + n);
        m_pos += n;
        return traits_type::to_int_type(*begin);
    }
    int_type uflow() override {
        if (m_chunk != 0)
            return std::streambuf::uflow();
        if (m_pos >= m_text.size())
            return traits_type::eof();
        return traits_type::to_int_type(m_text[m_pos++]);
    }

private:
    std::string m_text;
    size_t m_chunk;
    size_t m_pos = 0;
};

// A line that lies whole in the stream's buffer, with its terminator and the character after
// it, is handed out in place; one cut by a refill is collected piece by piece. Chunks of
// every small size put each terminator of the rows at each place in a refill.
TEST(SourceReaderTest, StreamLinesCutAcrossBufferRefillsComeWhole) {
    for (const size_t chunk : {0, 1, 2, 3, 4, 5, 7, 64}) {
        for (const TerminatorRow& row : terminatorRows()) {
            SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
            ChunkedBuffer buffer(row.text, chunk);
            std::istream stream(&buffer);
            StreamSourceReader reader(stream, "chunks");
            // This buffer cannot seek, so read without start.
            std::vector<std::string> lines;
            while (auto line = reader.nextLine(false))
                lines.push_back(line->toString());
            EXPECT_EQ(lines, row.lines);
        }
    }
}

TEST(SourceReaderTest, ReadErrorInsideALineIsThrownWithTheLineSoFar) {
    FailingBuffer buffer("ok\nab");
    std::istream stream(&buffer);
    StreamSourceReader reader(stream, "dev");
    UIStr message;
    // Seeking is not supported by this buffer, so read without start.
    const auto first = reader.nextLine(false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->toString(), "ok");
    try {
        reader.nextLine(false);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Reading from stream dev resulted in 'bad' state (read error on i/o "
                  "operation). Line read so far:\nab\nLast read character value = 98");
    }
}

TEST(SourceLineTest, SourceRefForms) {
    const auto name = std::make_shared<const std::string>("prog.s");
    const struct {
        std::shared_ptr<const std::string> name;
        int32_t lineNr;
        const char* text;
        size_t column;
        const char* expected;
    } rows[] = {
        {name, 12, "x", SourceLine::npos, "prog.s:12"},
        {name, 12, "a\nb\nc", SourceLine::npos, "prog.s:12-14"},
        {nullptr, 7, "x", SourceLine::npos, "line 7"},
        {nullptr, 7, "a\nb", SourceLine::npos, "lines 7-8"},
        {name, 0, "x", SourceLine::npos, "prog.s"},
        {nullptr, 0, "x", SourceLine::npos, ""},
        {nullptr, -3, "a\nb", SourceLine::npos, "-3"},
        {name, 12, "x", 5, "prog.s:12:5"},
        {name, 12, "x", 0, "prog.s:12:0"},
        {nullptr, 12, "x", 5, "line 12 column 5"},
        {nullptr, 0, "x", 5, " column 5"},
        {name, 0, "x", 5, "prog.s:5"},
    };
    for (const auto& row : rows) {
        const SourceLine line(row.text, row.lineNr, row.name);
        EXPECT_EQ(line.getSourceRef(row.column), row.expected)
            << row.lineNr << " " << visible(row.text) << " " << row.column;
    }
}

TEST(SourceLineTest, ConcatenatedLinesSpanSeveralNumbers) {
    SourceLine line("first", 4, std::make_shared<const std::string>("f.s"));
    line.concatLine(std::string("second"));
    line.concatLine("third", 5);
    EXPECT_EQ(line.toString(), "first\nsecond\nthird");
    EXPECT_EQ(line.lastLineNr(), 6);
    EXPECT_EQ(line.getSourceRef(), "f.s:4-6");
    line.clear();
    EXPECT_EQ(line.getSourceRef(), "");
}

// Found by fuzzing the error references: the last number of a multi-line text that starts
// at the largest line number overflowed.
TEST(SourceLineTest, LastLineNumberSaturatesAtTheLargestNumber) {
    const SourceLine line("a\nb\nc", 2147483647, std::make_shared<const std::string>("f.s"));
    EXPECT_EQ(line.lastLineNr(), 2147483647);
    EXPECT_EQ(line.getSourceRef(), "f.s:2147483647-2147483647");
    EXPECT_EQ(SourceLine("a\nb", 2147483646).lastLineNr(), 2147483647);
}

} // namespace
