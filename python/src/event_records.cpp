#include "event_records.h"

#include "formats/seq_event_columns.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include <sys/mman.h>
#include <unistd.h>

namespace vexa_py {

namespace {

using namespace seq_event_columns;

constexpr size_t roundUp(size_t value, size_t unit) {
    return (value + unit - 1) / unit * unit;
}

// The bytes a fixed-size column takes in a record (a flag takes one).
template <size_t I> constexpr size_t kSize = isText<I> ? 0 : sizeof(ValueOf<I>);

static_assert(sumOverColumns([](auto i) -> size_t { return isText<i>; }) == 1,
              "a record holds one text, the mnemonic");

// The place of each column in a record: the fixed-size columns by decreasing size, in the
// table's order among equals, then the mnemonic at the end of the fixed part, aligned for
// the next record's first column.
struct RecordPlan {
    std::array<size_t, kCount> offsets{};
    size_t fixedEnd = 0;
    size_t mnemonicOffset = 0;
};

constexpr RecordPlan kPlan = [] {
    RecordPlan plan;
    for (size_t size = sizeof(uint64_t); size > 0; size /= 2)
        forEachColumn([&](auto i) {
            if (kSize<i> == size) {
                plan.offsets[i] = plan.fixedEnd;
                plan.fixedEnd += size;
            }
        });
    plan.mnemonicOffset = roundUp(plan.fixedEnd, alignof(uint64_t));
    forEachColumn([&](auto i) {
        if (isText<i>)
            plan.offsets[i] = plan.mnemonicOffset;
    });
    return plan;
}();
constexpr size_t kMnemonicOffset = kPlan.mnemonicOffset;

template <size_t I> std::string numpyFormat(size_t mnemonicChars) {
    using T = ValueOf<I>;
    if constexpr (isText<I>)
        return "<U" + std::to_string(mnemonicChars);
    else if constexpr (std::is_same_v<T, bool>)
        return "?";
    else if constexpr (std::is_same_v<T, int32_t>)
        return "<i4";
    else if constexpr (std::is_same_v<T, uint32_t>)
        return "<u4";
    else
        return "<u8";
}

} // namespace

EventLayout::EventLayout(const SeqInstructionSet& instructionSet) {
    // Every mnemonic a run can log is that of some definition of the set.
    for (const SeqInstructionVariations& variations : instructionSet)
        for (const SeqInstructionDef& def : variations)
            m_mnemonicChars = std::max(m_mnemonicChars, def.mnemonic().size());
    m_itemsize = roundUp(kMnemonicOffset + m_mnemonicChars * sizeof(char32_t), alignof(uint64_t));
}

std::vector<EventField> EventLayout::fields() const {
    std::vector<EventField> fields;
    forEachColumn([&](auto i) {
        fields.push_back(
            {std::get<i>(kColumns).name, numpyFormat<i>(m_mnemonicChars), kPlan.offsets[i]});
    });
    return fields;
}

void EventLayout::write(char* record, const seq_sim::rt_info& e, uint32_t address,
                        const char32_t* mnemonic) const {
    forEachColumn([&](auto i) {
        if constexpr (!isText<i>) {
            const auto value = valueOf<i>(e, std::as_const(address));
            std::memcpy(record + kPlan.offsets[i], &value, sizeof value);
        }
    });
    // The padding is zeroed too, so that no byte of the array is undefined; the mnemonic's
    // copy fills the rest of the record.
    std::memset(record + kPlan.fixedEnd, 0, kMnemonicOffset - kPlan.fixedEnd);
    std::memcpy(record + kMnemonicOffset, mnemonic, m_itemsize - kMnemonicOffset);
}

std::u32string EventLayout::encode(const char* mnemonic) const {
    // The padding after the field is zeroed too: one copy fills the rest of the record.
    std::u32string text((m_itemsize - kMnemonicOffset) / sizeof(char32_t), U'\0');
    if (mnemonic != nullptr)
        for (size_t i = 0; i < m_mnemonicChars && mnemonic[i] != '\0'; ++i)
            text[i] = static_cast<unsigned char>(mnemonic[i]);
    return text;
}

seq_sim::rt_info EventLayout::read(const char* record, std::string& mnemonic,
                                   uint32_t& address) const {
    seq_sim::rt_info e;
    forEachColumn([&](auto i) {
        auto& value = valueOf<i>(e, address);
        const char* field = record + kPlan.offsets[i];
        if constexpr (isText<i>) {
            mnemonic.clear();
            for (size_t k = 0; k < m_mnemonicChars; ++k) {
                char32_t c;
                std::memcpy(&c, field + k * sizeof c, sizeof c);
                if (c == U'\0')
                    break;
                mnemonic.push_back(static_cast<char>(c));
            }
            value = mnemonic.c_str();
        } else if constexpr (std::is_same_v<ValueOf<i>, bool>) {
            // Any byte but 0 is true: the array is writable from Python, and a bool must
            // hold 0 or 1.
            value = *field != 0;
        } else {
            std::memcpy(&value, field, sizeof value);
        }
    });
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
