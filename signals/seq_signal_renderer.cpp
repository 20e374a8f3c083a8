#include "signals/seq_signal_renderer.h"

#include <algorithm>
#include <cstdio>

#include "base/utils/stringUtils.h"

namespace {

const seq_signal_tables& checked(const std::shared_ptr<const seq_signal_tables>& tables,
                                 const seq_signal_settings& settings) {
    if (!tables)
        throw seq_signal_error("no tables given");
    settings.validate();
    return *tables;
}

} // namespace

seq_signal_renderer::seq_signal_renderer(std::shared_ptr<const seq_signal_tables> tables,
                                         const seq_signal_settings& settings, uint64_t start,
                                         uint64_t stop, seq_signal_chunk_consumer& consumer,
                                         size_t chunkSamples)
    : m_tables(std::move(tables)), m_generator(checked(m_tables, settings), settings.nco_hz),
      m_start(start), m_stop(stop), m_position(start), m_consumer(&consumer),
      m_chunkSamples(std::max<size_t>(chunkSamples, 1)) {
    check_window(start, stop, UINT64_MAX);
    const size_t size = static_cast<size_t>(std::min<uint64_t>(m_chunkSamples, stop - start));
    m_buffer0.resize(size);
    m_buffer1.resize(size);
    m_bufferMarkers.resize(size);
    m_path0 = m_buffer0.data();
    m_path1 = m_buffer1.data();
    m_markers = m_bufferMarkers.data();
}

seq_signal_renderer::seq_signal_renderer(std::shared_ptr<const seq_signal_tables> tables,
                                         const seq_signal_settings& settings, uint64_t start,
                                         uint64_t stop, float* path0, float* path1,
                                         uint8_t* markers)
    : m_tables(std::move(tables)), m_generator(checked(m_tables, settings), settings.nco_hz),
      m_start(start), m_stop(stop), m_position(start), m_path0(path0), m_path1(path1),
      m_markers(markers) {
    check_window(start, stop, UINT64_MAX);
}

void seq_signal_renderer::check_window(uint64_t start, uint64_t stop, uint64_t maxSamples) {
    if (stop < start)
        throw seq_signal_error(stringCat("window: stop ", std::to_string(stop), " is before start ",
                                         std::to_string(start)));
    if (stop - start > maxSamples) {
        char text[200];
        snprintf(text, sizeof text,
                 "window: %llu samples need %.1f GiB; the limit is %llu samples: render "
                 "smaller windows one after another, or stream the window in chunks",
                 static_cast<unsigned long long>(stop - start),
                 static_cast<double>(stop - start) * 9.0 / (1024.0 * 1024.0 * 1024.0),
                 static_cast<unsigned long long>(maxSamples));
        throw seq_signal_error(text);
    }
}

void seq_signal_renderer::event(const rt_info& entry) {
    produceUntil(entry.time_ns);
    m_generator.apply(entry);
}

void seq_signal_renderer::finish() {
    produceUntil(m_stop);
    flush();
}

void seq_signal_renderer::produceUntil(uint64_t time) {
    const uint64_t end = std::min(time, m_stop);
    while (m_position < end) {
        size_t n;
        size_t at;
        if (m_consumer != nullptr) {
            n = static_cast<size_t>(
                std::min<uint64_t>(end - m_position, m_chunkSamples - m_filled));
            at = m_filled;
        } else {
            n = static_cast<size_t>(end - m_position);
            at = static_cast<size_t>(m_position - m_start);
        }
        m_generator.render(m_position, n, m_path0 != nullptr ? m_path0 + at : nullptr,
                           m_path1 != nullptr ? m_path1 + at : nullptr,
                           m_markers != nullptr ? m_markers + at : nullptr);
        m_position += n;
        if (m_consumer != nullptr) {
            m_filled += n;
            if (m_filled == m_chunkSamples)
                flush();
        }
    }
}

void seq_signal_renderer::flush() {
    if (m_consumer == nullptr || m_filled == 0)
        return;
    seq_signal_chunk chunk;
    chunk.start_ns = m_position - m_filled;
    chunk.size = m_filled;
    chunk.path0 = m_path0;
    chunk.path1 = m_path1;
    chunk.markers = m_markers;
    m_filled = 0;
    m_consumer->chunk(chunk);
}

void seq_signal_renderer::render_window(std::shared_ptr<const seq_signal_tables> tables,
                                        const seq_signal_settings& settings,
                                        std::span<const rt_info> entries, uint64_t start,
                                        uint64_t stop, float* path0, float* path1,
                                        uint8_t* markers) {
    check_window(start, stop);
    seq_signal_renderer renderer(std::move(tables), settings, start, stop, path0, path1, markers);
    for (const rt_info& entry : entries) {
        if (renderer.done())
            break;
        renderer.event(entry);
    }
    renderer.finish();
}
