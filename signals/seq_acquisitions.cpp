#include "signals/seq_acquisitions.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr size_t kChunk = 4096;
constexpr size_t kLanes = 8;

// Sums in double over independent lanes, which the compiler turns into vector additions.
double laneSum(const float* x, size_t n) {
    double lane[kLanes] = {};
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
        for (size_t k = 0; k < kLanes; ++k)
            lane[k] += static_cast<double>(x[i + k]);
    double sum = 0.0;
    for (; i < n; ++i)
        sum += static_cast<double>(x[i]);
    for (double value : lane)
        sum += value;
    return sum;
}

double laneDot(const float* x, const float* w, size_t n) {
    double lane[kLanes] = {};
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
        for (size_t k = 0; k < kLanes; ++k)
            lane[k] += static_cast<double>(x[i + k]) * static_cast<double>(w[i + k]);
    double sum = 0.0;
    for (; i < n; ++i)
        sum += static_cast<double>(x[i]) * static_cast<double>(w[i]);
    for (double value : lane)
        sum += value;
    return sum;
}

} // namespace

// The entries the trailing generator has yet to apply, oldest first; a ring that grows by
// doubling, so that a steady run allocates nothing.
class seq_acquirer::EntryQueue {
public:
    bool empty() const { return m_size == 0; }
    const rt_info& front() const { return m_ring[m_head]; }
    void pop() {
        m_head = (m_head + 1) & (m_ring.size() - 1);
        --m_size;
    }
    void push(const rt_info& entry) {
        if (m_size == m_ring.size())
            grow();
        m_ring[(m_head + m_size) & (m_ring.size() - 1)] = entry;
        ++m_size;
    }

private:
    void grow() {
        std::vector<rt_info> ring(std::max<size_t>(16, m_ring.size() * 2));
        for (size_t i = 0; i < m_size; ++i)
            ring[i] = m_ring[(m_head + i) & (m_ring.size() - 1)];
        m_ring.swap(ring);
        m_head = 0;
    }

    std::vector<rt_info> m_ring;
    size_t m_head = 0;
    size_t m_size = 0;
};

seq_acquirer::seq_acquirer(std::shared_ptr<const seq_signal_tables> tables,
                           seq_signal_settings settings)
    : m_tables(std::move(tables)), m_settings(std::move(settings)) {
    if (!m_tables)
        throw seq_signal_error("no tables given");
    m_settings.validate();
    if (m_settings.input == seq_signal_input::loopback) {
        m_generator = std::make_unique<seq_signal_generator>(*m_tables, m_settings.nco_hz);
        m_entries = std::make_unique<EntryQueue>();
        m_buffer[0].resize(kChunk);
        m_buffer[1].resize(kChunk);
    }
}

seq_acquirer::~seq_acquirer() = default;

bool seq_acquirer::is_weighed(const rt_info& entry) {
    if (entry.str != nullptr)
        return std::string_view(entry.str) == "acquire_weighed";
    return entry.weight_idx[0] >= 0 || entry.weight_idx[1] >= 0;
}

uint64_t seq_acquirer::window_length(const rt_info& entry, int path) const {
    if (!is_weighed(entry))
        return static_cast<uint64_t>(m_settings.integration_ns);
    const std::vector<float>* weight = m_tables->weight(entry.weight_idx[path]);
    return weight != nullptr ? weight->size() : 0;
}

void seq_acquirer::event(const rt_info& entry) {
    if (m_entries) {
        advance(entry.time_ns);
        m_entries->push(entry);
    }
    if (!entry.acquire_valid)
        return;
    Pending acquisition;
    acquisition.start = entry.time_ns;
    acquisition.acq = static_cast<uint32_t>(entry.acq_idx);
    acquisition.bin = static_cast<uint32_t>(entry.bin_idx);
    const bool weighed = is_weighed(entry);
    for (int p = 0; p < 2; ++p) {
        acquisition.length[p] = window_length(entry, p);
        if (weighed && acquisition.length[p] != 0)
            acquisition.weight[p] = m_tables->weight(entry.weight_idx[p])->data();
    }
    switch (m_settings.input) {
    case seq_signal_input::zero:
        complete(acquisition);
        break;
    case seq_signal_input::samples:
        for (int p = 0; p < 2; ++p) {
            const std::vector<float>& input = *m_settings.input_samples[p];
            const uint64_t from = std::min<uint64_t>(acquisition.start, input.size());
            const uint64_t to =
                std::min<uint64_t>(acquisition.start + acquisition.length[p], input.size());
            const size_t n = static_cast<size_t>(to - from);
            acquisition.sum[p] = acquisition.weight[p] != nullptr
                                     ? laneDot(input.data() + from, acquisition.weight[p], n)
                                     : laneSum(input.data() + from, n);
        }
        complete(acquisition);
        break;
    case seq_signal_input::loopback:
        // Windows start in time order.
        m_pending.push_back(acquisition);
        break;
    }
}

void seq_acquirer::finish() {
    if (!m_entries)
        return;
    uint64_t last = m_cursor;
    for (const Pending& acquisition : m_pending)
        last = std::max(last, acquisition.end());
    advance(last);
}

void seq_acquirer::advance(uint64_t limit) {
    const uint64_t delay = static_cast<uint64_t>(m_settings.loopback_delay_ns);
    while (m_cursor < limit) {
        // The output at cursor - delay: apply what has happened by then.
        while (!m_entries->empty() && m_entries->front().time_ns + delay <= m_cursor) {
            m_generator->apply(m_entries->front());
            m_entries->pop();
        }
        uint64_t segmentEnd = limit;
        if (!m_entries->empty())
            segmentEnd = std::min(segmentEnd, m_entries->front().time_ns + delay);
        // Where the next open window needs samples.
        uint64_t needed = UINT64_MAX, neededUntil = 0;
        for (const Pending& acquisition : m_pending) {
            if (acquisition.end() <= m_cursor)
                continue;
            needed = std::min(needed, std::max(acquisition.start, m_cursor));
            neededUntil = std::max(neededUntil, acquisition.end());
        }
        if (needed >= segmentEnd) {
            m_cursor = segmentEnd;
        } else if (needed > m_cursor) {
            m_cursor = needed;
        } else if (m_cursor < delay) {
            // Before the run's output reaches the input: zeros, which add nothing.
            m_cursor = std::min({segmentEnd, neededUntil, delay});
        } else {
            const size_t n = static_cast<size_t>(
                std::min({segmentEnd - m_cursor, neededUntil - m_cursor, uint64_t{kChunk}}));
            m_generator->render(m_cursor - delay, n, m_buffer[0].data(), m_buffer[1].data(),
                                nullptr);
            const float* input[2] = {m_buffer[0].data(), m_buffer[1].data()};
            integrate(m_cursor, n, input);
            m_cursor += n;
        }
        retire();
    }
}

void seq_acquirer::integrate(uint64_t from, size_t n, const float* const input[2]) {
    const uint64_t to = from + n;
    for (Pending& acquisition : m_pending) {
        for (int p = 0; p < 2; ++p) {
            const uint64_t begin = std::max(from, acquisition.start);
            const uint64_t end = std::min(to, acquisition.start + acquisition.length[p]);
            if (begin >= end)
                continue;
            const float* x = input[p] + (begin - from);
            const size_t count = static_cast<size_t>(end - begin);
            acquisition.sum[p] +=
                acquisition.weight[p] != nullptr
                    ? laneDot(x, acquisition.weight[p] + (begin - acquisition.start), count)
                    : laneSum(x, count);
        }
    }
}

void seq_acquirer::retire() {
    size_t kept = 0;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i].end() <= m_cursor)
            complete(m_pending[i]);
        else
            m_pending[kept++] = m_pending[i];
    }
    m_pending.resize(kept);
}

void seq_acquirer::complete(const Pending& acquisition) {
    Sum& sum = m_sums[uint64_t{acquisition.acq} << 32 | acquisition.bin];
    ++sum.count;
    for (int p = 0; p < 2; ++p)
        if (acquisition.length[p] != 0)
            sum.path[p] += acquisition.sum[p] / static_cast<double>(acquisition.length[p]);
}

std::vector<seq_acquisition> seq_acquirer::results() const {
    std::vector<std::pair<uint64_t, Sum>> sorted(m_sums.begin(), m_sums.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<seq_acquisition> results;
    for (const auto& [key, sum] : sorted) {
        const auto acq = static_cast<uint32_t>(key >> 32);
        if (results.empty() || results.back().acq_idx != acq)
            results.push_back({acq, {}});
        const double count = static_cast<double>(sum.count);
        results.back().bins.push_back(
            {static_cast<uint32_t>(key), sum.count, sum.path[0] / count, sum.path[1] / count});
    }
    return results;
}
