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
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A file with the given contents, removed at the end of the test.
struct TempFile {
    explicit TempFile(const std::string& contents) {
        std::ofstream(path, std::ios::binary) << contents;
    }
    ~TempFile() { fs::remove(path); }
    std::string name() const { return path.string(); }

    static inline int count = 0;
    const fs::path path = fs::temp_directory_path() / ("vexa_reader_" + std::to_string(getpid()) +
                                                       "_" + std::to_string(count++));
};

// Reads every line (from the start unless `restart` is false) checking numbers and the end.
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
    {"no final terminator", "first\nlast", {"first", "last"}},
    {"empty", "", {}},
    {"only terminators", "\n\n", {"", ""}},
    {"blank lines", "a\n\n\nb", {"a", "", "", "b"}},
    {"CR CR LF", "x\r\r\ny", {"x", "", "y"}},
    {"NUL inside", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
};

// Hands out its text `chunk` characters at a time; with `fail` set, the device fails once
// the text is used up instead of ending.
class ChunkedBuffer : public std::streambuf {
public:
    ChunkedBuffer(std::string text, size_t chunk, bool fail = false)
        : m_text(std::move(text)), m_chunk(chunk), m_fail(fail) {}

protected:
    int_type underflow() override {
        if (m_pos >= m_text.size()) {
            if (m_fail)
                throw std::ios_base::failure("device error");
            return traits_type::eof();
        }
        const size_t n = std::min(m_chunk, m_text.size() - m_pos);
        char* begin = m_text.data() + m_pos;
        setg(begin, begin, begin + n);
        m_pos += n;
        return traits_type::to_int_type(*begin);
    }

private:
    std::string m_text;
    size_t m_chunk;
    bool m_fail;
    size_t m_pos = 0;
};

// Stream lines cut by buffer refills come whole: small chunks cut each row at each place.
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
        for (const size_t chunk : {1, 2, 3, 4, 5, 7}) {
            ChunkedBuffer buffer(row.text, chunk);
            std::istream chunked(&buffer);
            StreamSourceReader chunkReader(chunked, "chunks");
            EXPECT_EQ(readAll(chunkReader, false), row.lines) << "chunk " << chunk;
        }
    }
}

// A CR LF pair ends two lines here, and a NUL at the start of a line ends the source.
TEST(SourceReaderTest, CharArrayReaderSkipsExactlyOneTerminator) {
    const std::string text("a\r\nb\r\0c\n", 8);
    CharArraySourceReader reader(text.data(), text.size(), "array");
    EXPECT_EQ(readAll(reader), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(reader.sourceLength(), text.size());
    CharArraySourceReader null(nullptr);
    UIStr message;
    EXPECT_FALSE(null.start(message));
    EXPECT_EQ(null.nextLine(false), nullptr);
}

TEST(SourceReaderTest, FullSourceAndLength) {
    const std::string text = "line 1\r\nline 2\n";
    TempFile file(text), empty("");
    FileSourceReader fileReader(file.name()), emptyReader(empty.name());
    EXPECT_EQ(fileReader.sourceLength(), text.size());
    EXPECT_EQ(*fileReader.readFullSource(), text);
    EXPECT_EQ(emptyReader.readFullSource(), nullptr);
    EXPECT_EQ(*CharArraySourceReader(text.c_str()).readFullSource(), text);
    EXPECT_EQ(*StringSourceReader(std::make_shared<const std::string>(text)).readFullSource(),
              text);
}

// A failed read is an error, never the end of the source: before the first line or later.
TEST(SourceReaderTest, ReadErrorIsThrownWithTheLineSoFarNotTakenAsTheEnd) {
    // The text delivered before the device fails, the lines read, the line read so far.
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {"", {}, "\nLast read character value = 0"},
        {"ok\r\n", {"ok"}, "\nLast read character value = 0"},
        {"ok\nab", {"ok"}, "ab\nLast read character value = 98"},
    };
    for (const auto& [text, expected, soFar] : rows) {
        SCOPED_TRACE(text);
        ChunkedBuffer buffer(text, 64, true);
        std::istream stream(&buffer);
        StreamSourceReader reader(stream, "dev");
        std::vector<std::string> lines;
        try {
            for (auto line = reader.nextLine(false); line && lines.size() < 100;
                 line = reader.nextLine(false))
                lines.push_back(line->toString());
            ADD_FAILURE() << "no exception after " << lines.size() << " lines";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Reading from stream dev resulted in 'bad' state "
                                             "(read error on i/o operation). Line read so far:\n" +
                                                 soFar);
        }
        EXPECT_EQ(lines, expected);
    }
}

TEST(SourceLineTest, SourceRefForms) {
    const auto name = std::make_shared<const std::string>("prog.s");
    const size_t none = SourceLine::npos;
    // File name, line number, text, column, reference.
    const std::tuple<std::shared_ptr<const std::string>, int32_t, const char*, size_t, const char*>
        rows[] = {
            {name, 12, "x", none, "prog.s:12"}, {name, 12, "a\nb\nc", none, "prog.s:12-14"},
            {nullptr, 7, "x", none, "line 7"},  {nullptr, 7, "a\nb", none, "lines 7-8"},
            {name, 0, "x", none, "prog.s"},     {nullptr, 0, "x", none, ""},
            {nullptr, -3, "a\nb", none, "-3"},  {name, 12, "x", 5, "prog.s:12:5"},
            {name, 12, "x", 0, "prog.s:12:0"},  {nullptr, 12, "x", 5, "line 12 column 5"},
            {nullptr, 0, "x", 5, " column 5"},  {name, 0, "x", 5, "prog.s:5"},
        };
    for (const auto& [file, lineNr, text, column, expected] : rows)
        EXPECT_EQ(SourceLine(text, lineNr, file).getSourceRef(column), expected) << expected;
}

// Growing the text keeps it, also when a piece of itself is appended; a copy owns its text.
TEST(SourceLineTest, TextSurvivesGrowthAndCopies) {
    SourceLine line("abc", 4, std::make_shared<const std::string>("f.s"));
    line.concatLine(line.view());
    line.concatLine(line.view().substr(4));
    EXPECT_EQ(line.toString(), "abc\nabc\nabc");
    EXPECT_EQ(line.getSourceRef(), "f.s:4-6");
    line.setLine(std::string(5000, 'y'), 4); // beyond the arena's largest block
    EXPECT_EQ(line.toString(), std::string(5000, 'y'));
    line.setLine(line.view().substr(10, 3), 5);
    const SourceLine copy(line);
    line.setLine("zz", 6);
    EXPECT_EQ(copy.toString(), "yyy");
    line.clear();
    EXPECT_EQ(line.getSourceRef(), "");
}

// Found by fuzzing: the last number of a multi-line text at the largest number overflowed.
TEST(SourceLineTest, LastLineNumberSaturatesAtTheLargestNumber) {
    const SourceLine line("a\nb\nc", 2147483647, std::make_shared<const std::string>("f.s"));
    EXPECT_EQ(line.lastLineNr(), 2147483647);
    EXPECT_EQ(line.getSourceRef(), "f.s:2147483647-2147483647");
    EXPECT_EQ(SourceLine("a\nb", 2147483646).lastLineNr(), 2147483647);
}

} // namespace
