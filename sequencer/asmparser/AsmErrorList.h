#pragma once
// The errors of one assembly run, ordered by source line number, and the texts that report
// them: a one-line summary, a full report and a list of details.

#include "base/utils/stringUtils.h"
#include "sequencer/asmparser/AsmException.h"

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class AsmErrorList {
public:
    using DataVector = std::vector<std::shared_ptr<AsmError>>;
    using iterator = DataVector::iterator;
    using const_iterator = DataVector::const_iterator;

    AsmErrorList() = default;
    AsmErrorList(const AsmErrorList&) = default;
    AsmErrorList(AsmErrorList&&) noexcept = default;
    AsmErrorList& operator=(const AsmErrorList&) = default;
    AsmErrorList& operator=(AsmErrorList&&) noexcept = default;
    virtual ~AsmErrorList() = default;

    // Inserts after every error that does not sort after it (errors of one line keep their
    // insertion order, errors without a line go last). An empty pointer is ignored.
    virtual void insert(const std::shared_ptr<AsmError>& err);

    template <typename T, typename... Args> void emplace(Args&&... args) {
        insert(std::make_shared<T>(std::forward<Args>(args)...));
    }

    iterator erase(const_iterator position) { return m_data.erase(position); }
    // Removes the first element that is the same object as `err`, if any.
    void erase(const std::shared_ptr<AsmError>& err);

    // The sum of the source references of all errors.
    size_t numberOfErrorSources() const;

    UIStr toStringOneLineSummary(const std::string& name) const;
    UIStr toStringFullReport(const std::string& name) const;
    UIStr toStringDetails() const;

    // Errors with a line number first, in ascending order; errors without one after them.
    static bool sortByLineNr(const std::shared_ptr<AsmError>& a,
                             const std::shared_ptr<AsmError>& b);

    iterator begin() { return m_data.begin(); }
    iterator end() { return m_data.end(); }
    const_iterator begin() const { return m_data.begin(); }
    const_iterator end() const { return m_data.end(); }
    size_t size() const { return m_data.size(); }
    bool empty() const { return m_data.empty(); }
    std::shared_ptr<AsmError>& front() { return m_data.front(); }
    const std::shared_ptr<AsmError>& front() const { return m_data.front(); }
    std::shared_ptr<AsmError>& back() { return m_data.back(); }
    const std::shared_ptr<AsmError>& back() const { return m_data.back(); }

protected:
    DataVector m_data;

private:
    // Each error's text followed by a newline, without the final newline.
    UIStr joinedErrorTexts(UIStr text) const;
};
