#include "event_records.h"

#include "sequencer/seqprocessor/SeqInstructionSet.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace vexa_py {

namespace {

constexpr size_t roundUp(size_t value, size_t unit) {
    return (value + unit - 1) / unit * unit;
}

} // namespace

EventLayout::EventLayout(const SeqInstructionSet& instructionSet) {
    // Every mnemonic a run can log is that of some definition of the set.
    for (const SeqInstructionVariations& variations : instructionSet)
        for (const SeqInstructionDef& def : variations)
            m_mnemonicChars = std::max(m_mnemonicChars, def.mnemonic().size());
    m_itemsize = roundUp(mnemonicOffset() + m_mnemonicChars * sizeof(char32_t), alignof(uint64_t));
}

std::vector<EventField> EventLayout::fields() const {
    const std::string i32 = "<i4";
    return {
        {"time_ns", "<u8", offsetof(EventFixed, time_ns)},
        {"duration_ns", "<u8", offsetof(EventFixed, duration_ns)},
        {"address", "<u4", offsetof(EventFixed, address)},
        {"mnemonic", "<U" + std::to_string(m_mnemonicChars), mnemonicOffset()},
        {"play_valid", "?", offsetof(EventFixed, play_valid)},
        {"wave_idx0", i32, offsetof(EventFixed, wave_idx0)},
        {"wave_idx1", i32, offsetof(EventFixed, wave_idx1)},
        {"acquire_valid", "?", offsetof(EventFixed, acquire_valid)},
        {"acq_idx", i32, offsetof(EventFixed, acq_idx)},
        {"bin_idx", i32, offsetof(EventFixed, bin_idx)},
        {"weight_idx0", i32, offsetof(EventFixed, weight_idx0)},
        {"weight_idx1", i32, offsetof(EventFixed, weight_idx1)},
        {"param_valid", "?", offsetof(EventFixed, param_valid)},
        {"awg_gain0", i32, offsetof(EventFixed, awg_gain0)},
        {"awg_gain1", i32, offsetof(EventFixed, awg_gain1)},
        {"awg_offs0", i32, offsetof(EventFixed, awg_offs0)},
        {"awg_offs1", i32, offsetof(EventFixed, awg_offs1)},
        {"ph_coarse", i32, offsetof(EventFixed, ph_coarse)},
        {"ph_fine", i32, offsetof(EventFixed, ph_fine)},
        {"ph_ufine", i32, offsetof(EventFixed, ph_ufine)},
        {"ph_delta_coarse", i32, offsetof(EventFixed, ph_delta_coarse)},
        {"ph_delta_fine", i32, offsetof(EventFixed, ph_delta_fine)},
        {"ph_delta_ufine", i32, offsetof(EventFixed, ph_delta_ufine)},
        {"mrk", i32, offsetof(EventFixed, mrk)},
    };
}

void EventLayout::write(char* record, const seq_sim::rt_info& e, uint32_t address,
                        const char32_t* mnemonic) const {
    // Value-initialised, padding included, so that no byte of the array is undefined.
    EventFixed& fixed = *new (record) EventFixed{};
    fixed.time_ns = e.time_ns;
    fixed.duration_ns = e.duration_ns;
    fixed.address = address;
    fixed.wave_idx0 = e.wave_idx[0];
    fixed.wave_idx1 = e.wave_idx[1];
    fixed.acq_idx = e.acq_idx;
    fixed.bin_idx = e.bin_idx;
    fixed.weight_idx0 = e.weight_idx[0];
    fixed.weight_idx1 = e.weight_idx[1];
    fixed.awg_gain0 = e.awg_gain[0];
    fixed.awg_gain1 = e.awg_gain[1];
    fixed.awg_offs0 = e.awg_offs[0];
    fixed.awg_offs1 = e.awg_offs[1];
    fixed.ph_coarse = e.ph_coarse;
    fixed.ph_fine = e.ph_fine;
    fixed.ph_ufine = e.ph_ufine;
    fixed.ph_delta_coarse = e.ph_delta_coarse;
    fixed.ph_delta_fine = e.ph_delta_fine;
    fixed.ph_delta_ufine = e.ph_delta_ufine;
    fixed.mrk = e.mrk;
    fixed.play_valid = e.play_valid;
    fixed.acquire_valid = e.acquire_valid;
    fixed.param_valid = e.param_valid;
    std::memcpy(record + mnemonicOffset(), mnemonic, m_itemsize - mnemonicOffset());
}

std::u32string EventLayout::encode(const char* mnemonic) const {
    // The padding after the field is zeroed too: one copy fills the rest of the record.
    std::u32string text((m_itemsize - mnemonicOffset()) / sizeof(char32_t), U'\0');
    if (mnemonic != nullptr)
        for (size_t i = 0; i < m_mnemonicChars && mnemonic[i] != '\0'; ++i)
            text[i] = static_cast<unsigned char>(mnemonic[i]);
    return text;
}

seq_sim::rt_info EventLayout::read(const char* record, std::string& mnemonic,
                                   uint32_t& address) const {
    EventFixed f;
    std::memcpy(&f, record, sizeof f);
    mnemonic.clear();
    for (size_t i = 0; i < m_mnemonicChars; ++i) {
        char32_t c;
        std::memcpy(&c, record + mnemonicOffset() + i * sizeof c, sizeof c);
        if (c == U'\0')
            break;
        mnemonic.push_back(static_cast<char>(c));
    }
    seq_sim::rt_info e;
    e.str = mnemonic.c_str();
    e.time_ns = f.time_ns;
    e.duration_ns = f.duration_ns;
    e.wave_idx[0] = f.wave_idx0;
    e.wave_idx[1] = f.wave_idx1;
    e.acq_idx = f.acq_idx;
    e.bin_idx = f.bin_idx;
    e.weight_idx[0] = f.weight_idx0;
    e.weight_idx[1] = f.weight_idx1;
    e.awg_gain[0] = f.awg_gain0;
    e.awg_gain[1] = f.awg_gain1;
    e.awg_offs[0] = f.awg_offs0;
    e.awg_offs[1] = f.awg_offs1;
    e.ph_coarse = f.ph_coarse;
    e.ph_fine = f.ph_fine;
    e.ph_ufine = f.ph_ufine;
    e.ph_delta_coarse = f.ph_delta_coarse;
    e.ph_delta_fine = f.ph_delta_fine;
    e.ph_delta_ufine = f.ph_delta_ufine;
    e.mrk = f.mrk;
    e.play_valid = f.play_valid;
    e.acquire_valid = f.acquire_valid;
    e.param_valid = f.param_valid;
    address = f.address;
    return e;
}

// ---- RecordBuffer

RecordBuffer::~RecordBuffer() {
    std::free(m_data);
}

RecordBuffer::RecordBuffer(RecordBuffer&& other) noexcept
    : m_itemsize(other.m_itemsize), m_data(std::exchange(other.m_data, nullptr)),
      m_count(std::exchange(other.m_count, 0)), m_capacity(std::exchange(other.m_capacity, 0)),
      m_populated(std::exchange(other.m_populated, 0)) {}

RecordBuffer& RecordBuffer::operator=(RecordBuffer&& other) noexcept {
    if (this != &other) {
        std::free(m_data);
        m_itemsize = other.m_itemsize;
        m_data = std::exchange(other.m_data, nullptr);
        m_count = std::exchange(other.m_count, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_populated = std::exchange(other.m_populated, 0);
    }
    return *this;
}

void RecordBuffer::grow(size_t capacity) {
    if (capacity > SIZE_MAX / m_itemsize)
        throw std::bad_alloc();
    void* data = std::realloc(m_data, capacity * m_itemsize);
    if (data == nullptr)
        throw std::bad_alloc();
    m_data = static_cast<char*>(data);
    m_capacity = capacity;
}

void RecordBuffer::prepare() {
    if (m_count == m_capacity)
        grow(m_capacity == 0 ? 1024 : m_capacity * 2);
    // Linux maps a window of pages at once with MADV_POPULATE_WRITE (5.14 on); elsewhere the
    // call fails and the pages fault in one by one as before.
    constexpr size_t kWindow = size_t{1} << 21;
    const size_t records =
        std::min(m_capacity, m_count + std::max<size_t>(kWindow / m_itemsize, 1));
#ifdef MADV_POPULATE_WRITE
    const auto pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<uintptr_t>(m_data + m_count * m_itemsize) & ~(pageSize - 1);
    const auto end = reinterpret_cast<uintptr_t>(m_data + records * m_itemsize);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
    m_populated = records;
}

char* RecordBuffer::release() {
    if (m_count < m_capacity && m_count > 0) {
        // Shrinking in place gives the unused pages back; should it fail, the block stays.
        if (void* data = std::realloc(m_data, m_count * m_itemsize))
            m_data = static_cast<char*>(data);
    }
    m_count = m_capacity = m_populated = 0;
    return std::exchange(m_data, nullptr);
}

// ---- MnemonicCache

const char32_t* MnemonicCache::lookUp(const char* mnemonic) {
    const auto known = std::find_if(m_known.begin(), m_known.end(), [mnemonic](const auto& entry) {
        return entry.first == mnemonic;
    });
    if (known != m_known.end()) {
        m_last = known->second.data();
    } else {
        m_known.emplace_back(mnemonic, m_layout.encode(mnemonic));
        m_last = m_known.back().second.data();
    }
    m_lastText = mnemonic;
    return m_last;
}

// ---- ChunkSink

ChunkSink::ChunkSink(const EventLayout& layout, size_t chunkSize, size_t maxPending)
    : m_layout(layout), m_chunkSize(chunkSize), m_maxPending(maxPending),
      m_current(layout.itemsize()), m_mnemonics(layout) {}

void ChunkSink::handOver() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_cancelled || m_pending.size() < m_maxPending; });
    if (m_cancelled)
        throw Cancelled();
    m_pending.push_back(std::move(m_current));
    m_current = RecordBuffer(m_layout.itemsize());
    lock.unlock();
    m_changed.notify_all();
    // A chunk is allocated whole, so a long run does not copy while a chunk fills.
    m_current.reserve(m_chunkSize);
}

void ChunkSink::end() {
    if (m_current.size() == 0)
        return;
    std::unique_lock lock(m_mutex);
    if (m_cancelled)
        return;
    m_pending.push_back(std::move(m_current));
    m_current = RecordBuffer(m_layout.itemsize());
    lock.unlock();
    m_changed.notify_all();
}

bool ChunkSink::next(RecordBuffer& chunk) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pending.empty() || m_finished; });
    if (m_pending.empty())
        return false;
    chunk = std::move(m_pending.front());
    m_pending.pop_front();
    lock.unlock();
    m_changed.notify_all();
    return true;
}

void ChunkSink::finish() {
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
}

void ChunkSink::cancel() {
    {
        // Under the lock, so that a run waiting to hand a chunk over cannot miss it.
        const std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_pending.clear();
    }
    m_changed.notify_all();
}

} // namespace vexa_py
