#include "signals/seq_findings.h"

#include <algorithm>

#include "base/utils/stringUtils.h"
#include "signals/seq_acquisitions.h"

namespace {

constexpr size_t kScratch = 4096;

std::string number(uint64_t value) {
    return std::to_string(value);
}

} // namespace

const char* seq_finding_kind_name(seq_finding_kind kind) {
    switch (kind) {
    case seq_finding_kind::missing_waveform:
        return "missing_waveform";
    case seq_finding_kind::missing_weight:
        return "missing_weight";
    case seq_finding_kind::cut_short:
        return "cut_short";
    case seq_finding_kind::acquisition_overlap:
        return "acquisition_overlap";
    case seq_finding_kind::clipped:
        return "clipped";
    case seq_finding_kind::underrun:
        break;
    }
    return "underrun";
}

std::vector<seq_finding> seq_finding_list::sorted() const {
    std::vector<seq_finding> sorted = m_findings;
    std::stable_sort(sorted.begin(), sorted.end(), [](const seq_finding& a, const seq_finding& b) {
        return a.time_ns != b.time_ns ? a.time_ns < b.time_ns : a.address < b.address;
    });
    return sorted;
}

seq_signal_checker::seq_signal_checker(std::shared_ptr<const seq_signal_tables> tables,
                                       const seq_signal_settings& settings, seq_finding_sink& sink)
    : m_tables(tables ? std::move(tables) : throw seq_signal_error("no tables given")),
      m_settings((settings.validate(), settings)), m_sink(sink),
      m_generator(*m_tables, settings.nco_hz) {
    m_starts.resize(static_cast<size_t>(m_settings.queue_depth));
    m_scratch[0].resize(kScratch);
    m_scratch[1].resize(kScratch);
}

void seq_signal_checker::report(const rt_info& entry, uint32_t address, seq_finding_kind kind,
                                std::string message) {
    seq_finding finding;
    finding.time_ns = entry.time_ns;
    finding.address = address;
    finding.kind = kind;
    finding.message = std::move(message);
    m_sink.finding(finding);
}

void seq_signal_checker::event(const rt_info& entry, uint32_t address, uint64_t classicalTick) {
    if (classicalTick != s_unknownTick)
        checkIssue(entry, address, classicalTick);
    if (m_playing)
        countClipped(entry.time_ns);
    if (entry.play_valid)
        checkPlay(entry, address);
    if (entry.acquire_valid)
        checkAcquisition(entry, address);
    m_generator.apply(entry);
    m_clipPosition = entry.time_ns;
}

void seq_signal_checker::finish() {
    if (m_playing) {
        countClipped(m_generator.playing_until());
        reportClipped();
    }
}

// The classical core issues each real-time instruction at its classical time, later while the
// queue is full, which delays it and everything after it; an instruction leaves the queue when
// the executor starts it. The executor starts start_delay_ns after the first issue and runs the
// instructions at their real-time offsets from then on.
void seq_signal_checker::checkIssue(const rt_info& entry, uint32_t address,
                                    uint64_t classicalTick) {
    const uint64_t depth = m_starts.size();
    const uint64_t classical = classicalTick * static_cast<uint64_t>(m_settings.classical_ns);
    uint64_t issue = classical + m_stall;
    uint64_t& slot = m_starts[m_issued % depth];
    if (m_issued >= depth && slot > issue) {
        issue = slot; // the instruction queue_depth places earlier has left the queue
        m_stall = issue - classical;
    }
    if (m_issued == 0)
        m_executorStart = issue + static_cast<uint64_t>(m_settings.start_delay_ns);
    const uint64_t due = m_executorStart + entry.time_ns;
    if (issue > due)
        report(entry, address, seq_finding_kind::underrun,
               stringCat("issued at ", number(issue), " ns, ", number(issue - due),
                         " ns after it should start at ", number(due), " ns"));
    slot = std::max(issue, due);
    ++m_issued;
}

void seq_signal_checker::checkPlay(const rt_info& entry, uint32_t address) {
    if (m_playing)
        reportClipped();
    for (int p = 0; p < 2; ++p) {
        const std::string path = stringCat("path ", number(static_cast<uint64_t>(p)), ": ");
        const seq_signal_generator::play_t& earlier = m_generator.play(p);
        if (earlier.end() > entry.time_ns)
            report(entry, address, seq_finding_kind::cut_short,
                   stringCat(path, "waveform ", std::to_string(earlier.index), " cut after ",
                             number(entry.time_ns - earlier.start), " of ", number(earlier.length),
                             " samples"));
        const int64_t index = entry.wave_idx[p];
        if (m_tables->waveform(index) != nullptr)
            continue;
        if (index < 0 || index >= seq_signal_tables::s_waveformCount)
            report(entry, address, seq_finding_kind::missing_waveform,
                   stringCat(path, "waveform index ", std::to_string(index), " is outside 0 to ",
                             number(seq_signal_tables::s_waveformCount - 1)));
        else
            report(entry, address, seq_finding_kind::missing_waveform,
                   stringCat(path, "waveform ", std::to_string(index), " is not in the table"));
    }
    m_playing = true;
    m_playTime = entry.time_ns;
    m_playAddress = address;
    m_clipped[0] = m_clipped[1] = 0;
}

void seq_signal_checker::checkAcquisition(const rt_info& entry, uint32_t address) {
    uint64_t length = 0;
    const bool weighed = seq_acquirer::is_weighed(entry);
    for (int p = 0; p < 2; ++p) {
        const int64_t index = entry.weight_idx[p];
        const std::vector<float>* weight = m_tables->weight(index);
        if (!weighed) {
            length = static_cast<uint64_t>(m_settings.integration_ns);
        } else if (weight != nullptr) {
            length = std::max<uint64_t>(length, weight->size());
        } else {
            const std::string path = stringCat("path ", number(static_cast<uint64_t>(p)), ": ");
            report(entry, address, seq_finding_kind::missing_weight,
                   index < 0 || index >= seq_signal_tables::s_weightCount
                       ? stringCat(path, "weight index ", std::to_string(index),
                                   " is outside 0 to ",
                                   number(seq_signal_tables::s_weightCount - 1))
                       : stringCat(path, "weight ", std::to_string(index), " is not in the table"));
        }
    }
    if (m_acquired && entry.time_ns < m_acquisitionEnd)
        report(entry, address, seq_finding_kind::acquisition_overlap,
               stringCat("window starts at ", number(entry.time_ns),
                         " ns, before the window of the acquisition at ",
                         number(m_acquisitionStart), " ns ends at ", number(m_acquisitionEnd),
                         " ns"));
    m_acquired = true;
    m_acquisitionStart = entry.time_ns;
    m_acquisitionEnd = entry.time_ns + length;
}

void seq_signal_checker::countClipped(uint64_t time) {
    const uint64_t end = std::min(time, m_generator.playing_until());
    for (uint64_t from = m_clipPosition; from < end;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(end - from, kScratch));
        m_generator.render(from, n, m_scratch[0].data(), m_scratch[1].data(), nullptr, m_clipped);
        from += n;
    }
    m_clipPosition = std::max(m_clipPosition, end);
}

void seq_signal_checker::reportClipped() {
    const uint64_t total = m_clipped[0] + m_clipped[1];
    if (total == 0)
        return;
    seq_finding finding;
    finding.time_ns = m_playTime;
    finding.address = m_playAddress;
    finding.kind = seq_finding_kind::clipped;
    finding.message = stringCat(number(total), " samples saturated (path 0: ", number(m_clipped[0]),
                                ", path 1: ", number(m_clipped[1]), ")");
    m_sink.finding(finding);
}
