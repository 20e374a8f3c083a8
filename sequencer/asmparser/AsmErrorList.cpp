#include "sequencer/asmparser/AsmErrorList.h"

#include <algorithm>
#include <cstdint>

void AsmErrorList::insert(const std::shared_ptr<AsmError>& err) {
    if (!err) {
        return;
    }
    const auto position = std::upper_bound(m_data.begin(), m_data.end(), err, sortByLineNr);
    m_data.insert(position, err);
}

void AsmErrorList::erase(const std::shared_ptr<AsmError>& err) {
    const auto found = std::find(m_data.begin(), m_data.end(), err);
    if (found != m_data.end()) {
        m_data.erase(found);
    }
}

size_t AsmErrorList::numberOfErrorSources() const {
    size_t total = 0;
    for (const auto& err : m_data) {
        total += err->numberOfErrorSources();
    }
    return total;
}

bool AsmErrorList::sortByLineNr(const std::shared_ptr<AsmError>& a,
                                const std::shared_ptr<AsmError>& b) {
    if (!a) {
        return false;
    }
    const int aLine = a->lineNr();
    if (aLine != 0 && b) {
        const int bLine = b->lineNr();
        if (bLine != 0) {
            return aLine < bLine;
        }
    }
    return aLine != 0;
}

namespace {
std::string countText(size_t count) {
    return std::to_string(static_cast<uint32_t>(count));
}
} // namespace

// message() is used instead of what(): it keeps NUL bytes of quoted source lines.
UIStr AsmErrorList::joinedErrorTexts(UIStr text) const {
    for (const auto& err : m_data) {
        text += err->message();
        text += '\n';
    }
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

UIStr AsmErrorList::toStringOneLineSummary(const std::string& name) const {
    if (m_data.empty()) {
        return name + " finished successfully";
    }
    if (m_data.size() > 1) {
        return name + " failed with " + countText(m_data.size()) + " errors";
    }
    UIStr text = name + " failed with error: " + m_data.front()->message();
    replaceAll(text, "\n", "\\n");
    return text;
}

UIStr AsmErrorList::toStringFullReport(const std::string& name) const {
    if (m_data.empty()) {
        return name + " finished successfully";
    }
    return joinedErrorTexts(name + " failed with " + countText(m_data.size()) + " errors:\n");
}

UIStr AsmErrorList::toStringDetails() const {
    if (m_data.size() < 2) {
        return UIStr();
    }
    return joinedErrorTexts(UIStr());
}
