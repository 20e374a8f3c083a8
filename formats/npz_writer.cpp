#include "formats/npz_writer.h"

#include "formats/npz_file.h"

#include <zip.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <memory>

namespace {

constexpr std::size_t kChunkItems = 1 << 16;
// 1980-01-01 00:00 in MS-DOS date and time fields, the earliest a zip file can say.
constexpr zip_uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr zip_uint16_t kDosTime = 0;

template <typename T>
npz_writer::member makeMember(std::string name, const char* descr, std::uint64_t length,
                              npz_writer::fill_t<T> fill) {
    return {std::move(name), descr, sizeof(T), length,
            [fill = std::move(fill)](std::uint64_t first, std::size_t count, void* out) {
                T* items = static_cast<T*>(out);
                fill(first, std::span<T>(items, count));
                if constexpr (sizeof(T) > 1 && std::endian::native == std::endian::big)
                    for (std::size_t i = 0; i < count; ++i) {
                        auto* bytes = reinterpret_cast<unsigned char*>(items + i);
                        std::reverse(bytes, bytes + sizeof(T));
                    }
            }};
}

// One member as libzip reads it when the archive is written: the header, then the array's
// elements chunk by chunk from its fill function.
class member_source {
public:
    member_source(const npz_writer::member& member, std::exception_ptr& failure)
        : m_member(member), m_header(npz_writer::npyHeader(member.descr, member.length)),
          m_failure(failure) {
        zip_error_init(&m_error);
    }
    ~member_source() { zip_error_fini(&m_error); }
    member_source(const member_source&) = delete;
    member_source& operator=(const member_source&) = delete;

    static zip_int64_t callback(void* state, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        return static_cast<member_source*>(state)->handle(data, length, command);
    }

private:
    std::uint64_t size() const { return m_header.size() + m_member.length * m_member.itemSize; }

    zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            m_position = 0;
            m_chunkStart = m_chunkEnd = 0;
            m_chunk.resize(std::min<std::uint64_t>(kChunkItems, m_member.length) *
                           m_member.itemSize);
            return 0;
        case ZIP_SOURCE_READ:
            return read(static_cast<char*>(data), length);
        case ZIP_SOURCE_CLOSE:
            std::vector<char>().swap(m_chunk);
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &m_error);
            if (stat == nullptr)
                return -1;
            zip_stat_init(stat);
            stat->size = size();
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        default:
            zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    zip_int64_t read(char* out, zip_uint64_t length) {
        std::uint64_t done = 0;
        while (done < length && m_position < size()) {
            if (m_position < m_header.size()) {
                const std::size_t count = static_cast<std::size_t>(
                    std::min<std::uint64_t>(length - done, m_header.size() - m_position));
                std::memcpy(out + done, m_header.data() + m_position, count);
                done += count;
                m_position += count;
                continue;
            }
            const std::uint64_t offset = m_position - m_header.size();
            if (offset == m_chunkEnd && !fillChunk())
                return -1;
            const std::size_t count = static_cast<std::size_t>(
                std::min<std::uint64_t>(length - done, m_chunkEnd - offset));
            std::memcpy(out + done, m_chunk.data() + (offset - m_chunkStart), count);
            done += count;
            m_position += count;
        }
        return static_cast<zip_int64_t>(done);
    }

    bool fillChunk() {
        const std::uint64_t first = m_chunkEnd / m_member.itemSize;
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(m_chunk.size() / m_member.itemSize, m_member.length - first));
        try {
            m_member.fill(first, count, m_chunk.data());
        } catch (...) {
            m_failure = std::current_exception();
            zip_error_set(&m_error, ZIP_ER_CANCELLED, 0);
            return false;
        }
        m_chunkStart = m_chunkEnd;
        m_chunkEnd += count * m_member.itemSize;
        return true;
    }

    const npz_writer::member& m_member;
    const std::string m_header;
    std::exception_ptr& m_failure;
    zip_error_t m_error;
    std::uint64_t m_position = 0;
    std::vector<char> m_chunk;
    // The bytes of the array data that m_chunk holds.
    std::uint64_t m_chunkStart = 0, m_chunkEnd = 0;
};

struct zip_discarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

} // namespace

void npz_writer::addInt64(std::string name, std::uint64_t length, fill_t<std::int64_t> fill) {
    m_members.push_back(makeMember(std::move(name), "<i8", length, std::move(fill)));
}

void npz_writer::addFloat32(std::string name, std::uint64_t length, fill_t<float> fill) {
    m_members.push_back(makeMember(std::move(name), "<f4", length, std::move(fill)));
}

void npz_writer::addUInt8(std::string name, std::uint64_t length, fill_t<std::uint8_t> fill) {
    m_members.push_back(makeMember(std::move(name), "|u1", length, std::move(fill)));
}

std::string npz_writer::npyHeader(const std::string& descr, std::uint64_t length) {
    // numpy's layout: magic, version 1.0, the header length, then the dictionary padded with
    // spaces and a line feed so that the data starts at a multiple of 64 bytes.
    std::string dict = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" +
                       std::to_string(length) + ",), }";
    const std::size_t preamble = 10;
    dict.append(63 - (preamble + dict.size()) % 64, ' ');
    dict += '\n';
    std::string header = "\x93NUMPY";
    header += '\x01';
    header += '\x00';
    header += static_cast<char>(dict.size() & 0xff);
    header += static_cast<char>(dict.size() >> 8);
    return header + dict;
}

void npz_writer::write(const std::string& fileName) const {
    auto fail = [&](const std::string& why) {
        throw npz_error(fileName + ": cannot write: " + why);
    };
    if (m_members.empty())
        fail("no arrays to write");
    int code = 0;
    // libzip writes the archive to a temporary file beside the target and renames it when
    // it closes the archive; a discarded archive removes it.
    std::unique_ptr<zip_t, zip_discarder> archive(
        zip_open(fileName.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        fail(text);
    }
    std::exception_ptr failure;
    std::vector<std::unique_ptr<member_source>> sources;
    for (const member& array : m_members) {
        sources.push_back(std::make_unique<member_source>(array, failure));
        zip_source_t* source =
            zip_source_function(archive.get(), &member_source::callback, sources.back().get());
        if (source == nullptr)
            fail(zip_strerror(archive.get()));
        const zip_int64_t index =
            zip_file_add(archive.get(), (array.name + ".npy").c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            fail("member " + npzQuoted(array.name + ".npy") + ": " + zip_strerror(archive.get()));
        }
        const auto entry = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive.get(), entry, ZIP_CM_STORE, 0) != 0 ||
            zip_file_set_dostime(archive.get(), entry, kDosTime, kDosDate, 0) != 0)
            fail(zip_strerror(archive.get()));
    }
    if (zip_close(archive.get()) != 0) {
        if (failure)
            std::rethrow_exception(failure);
        fail(zip_strerror(archive.get()));
    }
    archive.release(); // closed
}
