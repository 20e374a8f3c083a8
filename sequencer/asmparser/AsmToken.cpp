#include "sequencer/asmparser/AsmToken.h"

#include "base/utils/CharFilter.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <ostream>

namespace {

std::shared_ptr<const SourceLine> makeLine(const char* text, size_t length) {
    return std::make_shared<const SourceLine>(text ? text : "", text ? length : 0);
}

} // namespace

AsmToken::AsmToken(const line_ptr& line) noexcept
    : m_source(line), m_start(0), m_finish(line ? line->length() : 0) {}

AsmToken::AsmToken(line_ptr&& line) noexcept
    : m_source(std::move(line)), m_start(0), m_finish(m_source ? m_source->length() : 0) {}

AsmToken::AsmToken(const line_ptr& line, size_t start) noexcept : m_source(line) {
    m_finish = lineLength();
    m_start = std::min(start, m_finish);
}

AsmToken::AsmToken(const line_ptr& line, size_t start, int length) noexcept : m_source(line) {
    const size_t lineLen = lineLength();
    m_start = std::min(start, lineLen);
    if (length >= 0) {
        m_finish = std::min(m_start + static_cast<size_t>(length), lineLen);
    } else {
        // The magnitude of INT_MIN does not fit an int, so compute it in 64 bits.
        const auto back = static_cast<size_t>(-static_cast<int64_t>(length));
        if (back >= lineLen) {
            m_start = 0;
            m_finish = 0;
        } else {
            m_finish = lineLen - back;
        }
    }
    m_start = std::min(m_start, m_finish);
}

AsmToken::AsmToken(const std::string& text) : AsmToken(std::make_shared<const SourceLine>(text)) {}

AsmToken::AsmToken(std::string&& text)
    : AsmToken(std::make_shared<const SourceLine>(std::move(text))) {}

AsmToken::AsmToken(const char* text) : AsmToken(makeLine(text, text ? std::strlen(text) : 0)) {}

AsmToken::AsmToken(const char* text, size_t length) : AsmToken(makeLine(text, length)) {}

AsmToken& AsmToken::operator=(const std::string& text) {
    return *this = AsmToken(text);
}

AsmToken& AsmToken::operator=(std::string&& text) {
    return *this = AsmToken(std::move(text));
}

AsmToken& AsmToken::operator=(const char* text) {
    return *this = AsmToken(text);
}

size_t AsmToken::find(char c) const noexcept {
    return view().find(c);
}

bool AsmToken::operator==(const char* text) const noexcept {
    return view() == (text ? std::string_view(text) : std::string_view());
}

bool AsmToken::isEqualCaseInsensitive(const AsmToken& other) const noexcept {
    return equalIgnoringCase(view(), other.view());
}

bool AsmToken::isEqualCaseInsensitive(const std::string& text) const noexcept {
    return equalIgnoringCase(view(), text);
}

bool AsmToken::isEqualCaseInsensitive(const char* text) const noexcept {
    return equalIgnoringCase(view(), text ? std::string_view(text) : std::string_view());
}

bool AsmToken::operator<(const AsmToken& other) const noexcept {
    const std::string_view a = view();
    const std::string_view b = other.view();
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<signed char>(a[i]);
        const auto cb = static_cast<signed char>(b[i]);
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

void AsmToken::stripBack() noexcept {
    const char* text = lineData();
    while (m_start < m_finish && CharFilters::isSpace(text[m_finish - 1]))
        --m_finish;
}

void AsmToken::strip() noexcept {
    stripFront();
    stripBack();
}

AsmToken AsmToken::substr(size_t pos, int len) const noexcept {
    AsmToken result;
    result.m_source = m_source;
    const size_t tokenLen = length();
    if (len == 0 || pos >= tokenLen)
        return result;
    const size_t rest = tokenLen - pos;
    size_t count;
    if (len > 0) {
        count = std::min(static_cast<size_t>(len), rest);
    } else {
        const auto back = static_cast<size_t>(-static_cast<int64_t>(len));
        count = back >= rest ? 0 : rest - back;
    }
    result.m_start = m_start + pos;
    result.m_finish = result.m_start + count;
    return result;
}

std::ostream& operator<<(std::ostream& os, const AsmToken& token) {
    return os.write(token.data(), static_cast<std::streamsize>(token.length()));
}
