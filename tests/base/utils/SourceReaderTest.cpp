#include "base/utils/SourceReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TempFile {
public:
    explicit TempFile(const std::string& contents) {
        static int counter = 0;
        std::ofstream(
            m_path = fs::temp_directory_path() /
                     ("vexa_reader_" + std::to_string(getpid()) + "_" + std::to_string(counter++)),
            std::ios::binary)
            << contents;
    }
    ~TempFile() { fs::remove(m_path); }
    std::string name() const { return m_path.string(); }

private:
    fs::path m_path;
};

// Files that cannot be opened or read are covered end to end by tests/assembler/badInputTest.cpp.

// Reads every line (without start when `restart` is false, for streams that cannot seek),
// checks the numbering and that the end stays the end, also after finish.
std::vector<std::string> readAll(SourceReader& reader, bool restart = true) {
    std::vector<std::string> lines;
    UIStr message;
    EXPECT_TRUE(!restart || reader.start(message)) << message;
    while (auto line = reader.nextLine(false)) {
        lines.push_back(line->toString());
        EXPECT_EQ(line->lineNr(), static_cast<int32_t>(lines.size()));
        if (lines.size() > 100)
            break;
    }
    EXPECT_EQ(reader.nextLine(false), nullptr);
    reader.finish();
    EXPECT_EQ(reader.nextLine(false), nullptr) << "after finish";
    return lines;
}

struct TerminatorRow {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

const TerminatorRow terminatorRows[] = {
    {"CR LF", "a\r\nb\r\n", {"a", "b"}},
    {"LF CR", "a\n\rb\n\r", {"a", "b"}},
    {"lone CR", "a\rb\r", {"a", "b"}},
    {"lone LF", "a\nb\n", {"a", "b"}},
    {"no final terminator", "first\nlast", {"first", "last"}},
    {"empty", "", {}},
    {"only terminators", "\n\n", {"", ""}},
    {"CR LF pairs only", "\r\n\r\n", {"", ""}},
    {"blank lines", "a\n\n\nb", {"a", "", "", "b"}},
    {"CR CR LF", "x\r\r\ny", {"x", "", "y"}},
    {"LF LF CR", "x\n\n\ry", {"x", "", "y"}},
    {"NUL inside", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
};

TEST(SourceReaderTest, FileStringAndStreamReadersEndEachLineOnce) {
    for (const TerminatorRow& row : terminatorRows) {
        SCOPED_TRACE(row.name);
        TempFile file(row.text);
        FileSourceReader fileReader(file.name());
        StringSourceReader stringReader(row.text, "str");
        std::istringstream stream(row.text);
        StreamSourceReader streamReader(stream, "stream");
        for (SourceReader* reader :
             std::initializer_list<SourceReader*>{&fileReader, &stringReader, &streamReader})
            EXPECT_EQ(readAll(*reader), row.lines);
        // Read again, file and stream readers start over at line 1.
        EXPECT_EQ(readAll(fileReader), row.lines);
        EXPECT_EQ(readAll(streamReader), row.lines);
    }
}

TEST(SourceReaderTest, CharArrayReaderSkipsExactlyOneTerminator) {
    const TerminatorRow rows[] = {
        {"CR LF", "a\r\nb", {"a", "", "b"}},
        {"lone CR", "a\rb\r", {"a", "b"}},
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
    CharArraySourceReader part("x\ny\nz", 3); // the range ends inside the text
    EXPECT_EQ(readAll(part), (std::vector<std::string>{"x", "y"}));

    CharArraySourceReader null(nullptr);
    UIStr message;
    EXPECT_FALSE(null.start(message));
    EXPECT_EQ(message, "Empty character array source");
    EXPECT_EQ(null.nextLine(false), nullptr);
    EXPECT_EQ(null.readFullSource(), nullptr);
}

TEST(SourceReaderTest, LinesShareTheNameAndAreReusedOnlyWhenTheCallerDroppedThem) {
    TempFile file("l1\nl2\nl3\nl4\n");
    FileSourceReader reader(file.name());
    UIStr message;
    ASSERT_TRUE(reader.start(message));
    std::vector<SourceReader::line_ptr_t> kept{reader.nextLine(false), reader.nextLine(false)};
    ASSERT_NE(kept[0], kept[1]);
    EXPECT_EQ(kept[0]->toString(), "l1");
    EXPECT_EQ(kept[0]->getSourceRef(), file.name() + ":1");
    EXPECT_EQ(kept[1]->getSourceRef(4), file.name() + ":2:4");
    EXPECT_EQ(kept[0]->sourceName(), kept[1]->sourceName());
    reader.setName("renamed");
    EXPECT_EQ(*kept[0]->sourceName(), file.name());

    kept.clear();
    const SourceLine* address = reader.nextLine(false).get();
    const auto again = reader.nextLine(false);
    EXPECT_EQ(again.get(), address);
    EXPECT_EQ(again->toString(), "l4");
    EXPECT_EQ(again->lineNr(), 4);
}

TEST(SourceReaderTest, FullSourceAndLengthAndARestartedStringReaderKeepsCounting) {
    const std::string text = "line 1\r\nline 2\n";
    TempFile file(text), empty("");
    FileSourceReader fileReader(file.name()), emptyReader(empty.name());
    EXPECT_EQ(fileReader.sourceLength(), text.size());
    EXPECT_EQ(*fileReader.readFullSource(), text);
    EXPECT_EQ(emptyReader.readFullSource(), nullptr);
    EXPECT_EQ(*CharArraySourceReader(text.c_str()).readFullSource(), text);

    const auto shared = std::make_shared<const std::string>(text);
    StringSourceReader stringReader(shared);
    EXPECT_EQ(stringReader.readFullSource(), shared);
    EXPECT_EQ(stringReader.sourceLength(), text.size());
    UIStr message;
    while (stringReader.nextLine(false)) {
    }
    stringReader.start(message);
    const auto line = stringReader.nextLine(false);
    EXPECT_EQ(line->toString(), "line 1");
    EXPECT_EQ(line->lineNr(), 4);
}

// Hands out its text `chunk` characters at a time, so that lines and CR LF pairs are cut
// across refills; with chunk 0 it keeps no get area and gives one character per call. With
// `fail` set, the device fails once the text is used up instead of ending.
class ChunkedBuffer : public std::streambuf {
public:
    ChunkedBuffer(std::string text, size_t chunk, bool fail = false)
        : m_text(std::move(text)), m_chunk(chunk), m_fail(fail) {}

protected:
    int_type underflow() override {
        if (m_pos >= m_text.size())
            return endOfText();
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
            return endOfText();
        return traits_type::to_int_type(m_text[m_pos++]);
    }

private:
    int_type endOfText() {
        if (m_fail)
            throw std::ios_base::failure("device error");
        return traits_type::eof();
    }

    std::string m_text;
    size_t m_chunk;
    bool m_fail;
    size_t m_pos = 0;
};

// A line that lies whole in the stream's buffer, with its terminator and the character after
// it, is handed out in place; one cut by a refill is collected piece by piece. Chunks of
// every small size put each terminator of the rows at each place in a refill.
TEST(SourceReaderTest, StreamLinesCutAcrossBufferRefillsComeWhole) {
    for (const size_t chunk : {0, 1, 2, 3, 4, 5, 7, 64}) {
        for (const TerminatorRow& row : terminatorRows) {
            SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
            ChunkedBuffer buffer(row.text, chunk);
            std::istream stream(&buffer);
            StreamSourceReader reader(stream, "chunks");
            EXPECT_EQ(readAll(reader, false), row.lines);
        }
    }
}

// A read that fails is the reader's error, never the end of the source: neither before the
// first line nor between two lines may it pass for an empty or shorter source.
TEST(SourceReaderTest, ReadErrorIsThrownWithTheLineSoFarNotTakenAsTheEnd) {
    const struct {
        std::string text; // delivered before the device fails
        std::vector<std::string> lines;
        std::string soFar;
    } rows[] = {
        {"", {}, "\nLast read character value = 0"},
        {"ok\r\n", {"ok"}, "\nLast read character value = 0"},
        {"a\nb\r\n", {"a", "b"}, "\nLast read character value = 0"},
        {"ok\nab", {"ok"}, "ab\nLast read character value = 98"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        ChunkedBuffer buffer(row.text, 64, true);
        std::istream stream(&buffer);
        StreamSourceReader reader(stream, "dev");
        std::vector<std::string> lines;
        try {
            // A reader that never ends must not hang the test.
            for (auto line = reader.nextLine(false); line && lines.size() < 100;
                 line = reader.nextLine(false))
                lines.push_back(line->toString());
            ADD_FAILURE() << "no exception after " << lines.size() << " lines";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Reading from stream dev resulted in 'bad' state "
                                             "(read error on i/o operation). Line read so far:\n" +
                                                 row.soFar);
        }
        EXPECT_EQ(lines, row.lines);
    }
}

TEST(SourceLineTest, SourceRefForms) {
    const auto name = std::make_shared<const std::string>("prog.s");
    const size_t none = SourceLine::npos;
    const struct {
        std::shared_ptr<const std::string> name;
        int32_t lineNr;
        const char* text;
        size_t column;
        const char* expected;
    } rows[] = {
        {name, 12, "x", none, "prog.s:12"}, {name, 12, "a\nb\nc", none, "prog.s:12-14"},
        {nullptr, 7, "x", none, "line 7"},  {nullptr, 7, "a\nb", none, "lines 7-8"},
        {name, 0, "x", none, "prog.s"},     {nullptr, 0, "x", none, ""},
        {nullptr, -3, "a\nb", none, "-3"},  {name, 12, "x", 5, "prog.s:12:5"},
        {name, 12, "x", 0, "prog.s:12:0"},  {nullptr, 12, "x", 5, "line 12 column 5"},
        {nullptr, 0, "x", 5, " column 5"},  {name, 0, "x", 5, "prog.s:5"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SourceLine(row.text, row.lineNr, row.name).getSourceRef(row.column), row.expected)
            << row.expected;
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
