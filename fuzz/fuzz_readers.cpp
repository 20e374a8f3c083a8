// Arbitrary bytes through every source reader and through stringToInt of every width.
// The string and stream readers must cut the same bytes into the same lines.
#include "base/utils/SourceReader.h"
#include "base/utils/stringUtils.h"
#include "fuzz/FuzzCommon.h"

#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readAll(SourceReader& reader, bool concatenate) {
    std::vector<std::string> lines;
    UIStr message;
    if (!reader.start(message))
        return lines;
    int32_t previous = 0;
    std::shared_ptr<const SourceLine> joined;
    while (auto line = reader.nextLine(concatenate)) {
        if (concatenate) { // one line that grows: looked at once, at the end
            joined = line;
            continue;
        }
        if (line->lineNr() != previous + 1)
            abort();
        previous = line->lineNr();
        if (line->toString().find_first_of("\r\n") != std::string::npos)
            abort();
        (void)line->getSourceRef(line->length());
        lines.push_back(line->toString());
        if (lines.size() > 100000)
            abort(); // no reader produces more lines than it has bytes
    }
    if (joined) {
        (void)joined->getSourceRef(joined->length());
        lines.push_back(joined->toString());
    }
    reader.finish();
    if (reader.nextLine(false))
        abort();
    return lines;
}

template <typename T> bool convert(T& value, const std::string& text) {
    try {
        stringToInt(value, text);
        return true;
    } catch (const std::invalid_argument& error) {
        if (std::string(error.what()).rfind("Value '", 0) != 0)
            abort();
    } catch (const std::out_of_range& error) {
        if (std::string(error.what()).rfind("Value '", 0) != 0)
            abort();
    }
    return false;
}

void integers(const std::string& text) {
    int64_t s64 = 0;
    uint64_t u64 = 0;
    int32_t s32 = 0;
    uint32_t u32 = 0;
    int16_t s16 = 0;
    uint16_t u16 = 0;
    const bool okS64 = convert(s64, text);
    const bool okU64 = convert(u64, text);
    // A narrow result is the wide one that passed its range check.
    if (convert(s32, text) && (!okS64 || s32 != s64))
        abort();
    if (convert(s16, text) && (!okS64 || s16 != s64))
        abort();
    if (convert(u32, text) && (!okU64 || u32 != u64))
        abort();
    if (convert(u16, text) && (!okU64 || u16 != u64))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    StringSourceReader stringReader(bytes, "fuzz.s");
    const std::vector<std::string> fromString = readAll(stringReader, false);
    std::istringstream stream(bytes);
    StreamSourceReader streamReader(stream, "fuzz.s");
    const std::vector<std::string> fromStream = readAll(streamReader, false);
    if (fromString != fromStream)
        abort();
    (void)stringReader.readFullSource();
    (void)streamReader.readFullSource();

    CharArraySourceReader arrayReader(bytes.data(), bytes.size(), "fuzz.s");
    readAll(arrayReader, false);
    (void)arrayReader.readFullSource();
    StringSourceReader joining(bytes);
    readAll(joining, true);

    integers(bytes.substr(0, 80));
    return 0;
}
