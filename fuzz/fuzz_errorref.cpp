// Error references over arbitrary lines and spans, and the error report built from them.
#include "base/utils/SourceErrorRef.h"
#include "base/utils/SourceLine.h"
#include "fuzz/FuzzCommon.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// A span start or length: mostly near the line, sometimes unknown.
size_t spanValue(uint16_t raw, size_t lineLength) {
    if (raw == 0xFFFF)
        return SourceErrorRef::npos;
    return raw % (2 * lineLength + 8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    FuzzInput input(data, size);
    const int32_t lineNr = input.take<int32_t>();
    const uint16_t rawStart = input.take<uint16_t>();
    const uint16_t rawLength = input.take<uint16_t>();
    const uint8_t flags = input.take<uint8_t>();
    const std::string text = input.rest();

    auto name = (flags & 1) ? std::make_shared<const std::string>("fuzz.s") : nullptr;
    auto line = std::make_shared<const SourceLine>(text, lineNr, name);
    const size_t start = spanValue(rawStart, text.size());
    const size_t length = spanValue(rawLength, text.size());

    const SourceErrorRef ref(line, start, length);
    const std::string marked = ref.pointToTextInSource();
    const std::string part = ref.errorText();
    if (part.size() > text.size())
        abort();
    (void)ref.getSourceRef();
    const SourceErrorRef byText(line, text.substr(0, length < text.size() ? length : 0));
    (void)byText.pointToTextInSource();

    AsmErrorList errors;
    AsmSyntaxError first(ref);
    first << "bad text '" << part << "'";
    if (flags & 2)
        first.addErrorInfo(SourceErrorRef(line, 0, 1));
    errors.insert(first.shared_ptr_copy());
    errors.emplace<AsmSyntaxError>(line, text.substr(0, 3));
    if (flags & 4)
        errors.emplace<AsmUnresolvedAddressLabelError>(line, text);
    const std::string report = errors.toStringFullReport("fuzz");
    if (report.empty())
        abort();
    (void)errors.toStringOneLineSummary("fuzz");
    return 0;
}
