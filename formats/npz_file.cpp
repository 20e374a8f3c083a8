#include "formats/npz_file.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace {

constexpr std::string_view kMagic = "\x93NUMPY";
// numpy writes headers of a few hundred bytes; anything longer is no array of ours.
constexpr std::uint64_t kMaxHeaderLength = 1 << 20;
// No deflate stream expands more than 1032-fold.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::size_t kChunkBytes = 1 << 16;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw npz_error(where + ": " + what);
}

// The bytes of one `.npy` array, read front to back.
class byte_reader {
public:
    virtual ~byte_reader() = default;
    // Fills `out` and returns its size, or less at the end of the bytes; throws on a read
    // error.
    virtual std::size_t read(char* out, std::size_t size) = 0;
};

class memory_reader : public byte_reader {
public:
    explicit memory_reader(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t read(char* out, std::size_t size) override {
        const std::size_t count = std::min(size, m_bytes.size());
        std::memcpy(out, m_bytes.data(), count);
        m_bytes.remove_prefix(count);
        return count;
    }

private:
    std::string_view m_bytes;
};

class file_reader : public byte_reader {
public:
    file_reader(std::FILE* file, std::string where) : m_file(file), m_where(std::move(where)) {}
    std::size_t read(char* out, std::size_t size) override {
        const std::size_t count = std::fread(out, 1, size, m_file);
        if (count < size && std::ferror(m_file))
            fail(m_where, std::string("read error: ") + std::strerror(errno));
        return count;
    }

private:
    std::FILE* m_file;
    std::string m_where;
};

class zip_member_reader : public byte_reader {
public:
    zip_member_reader(zip_file_t* file, std::string where)
        : m_file(file), m_where(std::move(where)) {}
    std::size_t read(char* out, std::size_t size) override {
        std::size_t count = 0;
        while (count < size) {
            const zip_int64_t got = zip_fread(m_file, out + count, size - count);
            if (got < 0)
                fail(m_where, std::string("cannot read: ") + zip_file_strerror(m_file));
            if (got == 0)
                break;
            count += static_cast<std::size_t>(got);
        }
        return count;
    }

private:
    zip_file_t* m_file;
    std::string m_where;
};

struct dtype {
    char kind = 0; // 'f', 'i' or 'u'
    std::size_t size = 0;
    bool swap = false; // stored in the other byte order than this machine's
};

std::optional<dtype> parseDtype(std::string_view descr) {
    if (descr.size() != 3 || descr[2] < '1' || descr[2] > '8')
        return std::nullopt;
    dtype type{descr[1], static_cast<std::size_t>(descr[2] - '0'), false};
    const bool floating = type.kind == 'f' && (type.size == 4 || type.size == 8);
    const bool integer = (type.kind == 'i' || type.kind == 'u') &&
                         (type.size == 1 || type.size == 2 || type.size == 4 || type.size == 8);
    if (!floating && !integer)
        return std::nullopt;
    const char order = descr[0];
    if (order == '|')
        return type.size == 1 ? std::optional(type) : std::nullopt;
    if (order != '<' && order != '>')
        return std::nullopt;
    type.swap = (order == '>') != (std::endian::native == std::endian::big) && type.size > 1;
    return type;
}

struct header {
    dtype type;
    std::string descr;
    bool fortranOrder = false;
    std::vector<std::uint64_t> shape;
};

// The header's Python dictionary literal, e.g. {'descr': '<f8', 'fortran_order': False,
// 'shape': (3,), }, with each of its three keys exactly once.
class header_parser {
public:
    header_parser(std::string_view text, const std::string& where) : m_text(text), m_where(where) {}

    header parse() {
        header result;
        bool seenDescr = false, seenOrder = false, seenShape = false;
        expect('{');
        for (bool more = !accept('}'); more;) {
            const std::string key = string();
            expect(':');
            if (key == "descr" && !seenDescr) {
                seenDescr = true;
                skipSpace();
                if (peek() == '[')
                    fail(m_where, "unsupported dtype: a structured array");
                result.descr = string();
                const auto type = parseDtype(result.descr);
                if (!type)
                    fail(m_where, "unsupported dtype " + npzQuoted(result.descr) +
                                      " (float32, float64 or an integer type needed)");
                result.type = *type;
            } else if (key == "fortran_order" && !seenOrder) {
                seenOrder = true;
                result.fortranOrder = boolean();
            } else if (key == "shape" && !seenShape) {
                seenShape = true;
                result.shape = tuple();
            } else if (key == "descr" || key == "fortran_order" || key == "shape") {
                malformed("key " + npzQuoted(key) + " given twice");
            } else {
                malformed("unknown key " + npzQuoted(key));
            }
            if (accept(',')) {
                more = !accept('}');
            } else {
                expect('}');
                more = false;
            }
        }
        skipSpace();
        if (m_pos != m_text.size())
            malformed("text after the dictionary");
        if (!seenDescr || !seenOrder || !seenShape)
            malformed(std::string("no ") + (!seenDescr   ? "'descr'"
                                            : !seenOrder ? "'fortran_order'"
                                                         : "'shape'"));
        return result;
    }

private:
    [[noreturn]] void malformed(const std::string& what) {
        fail(m_where, "malformed header: " + what);
    }
    void skipSpace() {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n'))
            ++m_pos;
    }
    char peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    bool accept(char c) {
        skipSpace();
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }
    void expect(char c) {
        if (!accept(c))
            malformed(std::string("'") + c + "' expected at byte " + std::to_string(m_pos));
    }
    std::string string() {
        skipSpace();
        const char quote = peek();
        if (quote != '\'' && quote != '"')
            malformed("string expected at byte " + std::to_string(m_pos));
        const std::size_t end = m_text.find(quote, m_pos + 1);
        if (end == std::string_view::npos)
            malformed("unterminated string");
        const std::string_view value = m_text.substr(m_pos + 1, end - m_pos - 1);
        if (value.find('\\') != std::string_view::npos ||
            value.find('\n') != std::string_view::npos)
            malformed("unsupported string " + npzQuoted(value));
        m_pos = end + 1;
        return std::string(value);
    }
    bool boolean() {
        skipSpace();
        for (const auto& [word, value] : {std::pair{"True", true}, std::pair{"False", false}}) {
            const std::string_view text(word);
            if (m_text.substr(m_pos, text.size()) == text) {
                m_pos += text.size();
                return value;
            }
        }
        malformed("True or False expected at byte " + std::to_string(m_pos));
    }
    // A tuple of non-negative integers: (), (3,) or (2, 3); (3) is a number, not a tuple.
    std::vector<std::uint64_t> tuple() {
        std::vector<std::uint64_t> extents;
        expect('(');
        bool comma = false;
        while (!accept(')')) {
            if (!extents.empty() && !comma)
                malformed("',' expected at byte " + std::to_string(m_pos));
            extents.push_back(extent());
            comma = accept(',');
        }
        if (extents.size() == 1 && !comma)
            malformed("the shape is not a tuple");
        return extents;
    }
    std::uint64_t extent() {
        skipSpace();
        const std::size_t start = m_pos;
        std::uint64_t value = 0;
        while (peek() >= '0' && peek() <= '9') {
            if (value > (std::numeric_limits<std::uint64_t>::max() - 9) / 10)
                fail(m_where, "absurd array extent in the shape");
            value = value * 10 + static_cast<std::uint64_t>(m_text[m_pos++] - '0');
        }
        if (m_pos == start || (m_pos - start > 1 && m_text[start] == '0'))
            malformed("array extent expected at byte " + std::to_string(start));
        return value;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    const std::string& m_where;
};

std::string shapeText(const std::vector<std::uint64_t>& shape) {
    std::string text = "(";
    for (std::size_t i = 0; i < shape.size(); ++i)
        text += (i > 0 ? ", " : "") + std::to_string(shape[i]);
    return text + (shape.size() == 1 ? ",)" : ")");
}

template <typename T> void convert(const char* in, std::size_t count, bool swap, float* out) {
    for (std::size_t i = 0; i < count; ++i, in += sizeof(T)) {
        std::array<char, sizeof(T)> bytes;
        std::memcpy(bytes.data(), in, sizeof(T));
        if (swap)
            std::reverse(bytes.begin(), bytes.end());
        T value;
        std::memcpy(&value, bytes.data(), sizeof(T));
        out[i] = static_cast<float>(value);
    }
}

void convert(const dtype& type, const char* in, std::size_t count, float* out) {
    switch (type.kind * 16 + static_cast<int>(type.size)) {
    case 'f' * 16 + 4:
        return convert<float>(in, count, type.swap, out);
    case 'f' * 16 + 8:
        return convert<double>(in, count, type.swap, out);
    case 'i' * 16 + 1:
        return convert<std::int8_t>(in, count, type.swap, out);
    case 'i' * 16 + 2:
        return convert<std::int16_t>(in, count, type.swap, out);
    case 'i' * 16 + 4:
        return convert<std::int32_t>(in, count, type.swap, out);
    case 'i' * 16 + 8:
        return convert<std::int64_t>(in, count, type.swap, out);
    case 'u' * 16 + 1:
        return convert<std::uint8_t>(in, count, type.swap, out);
    case 'u' * 16 + 2:
        return convert<std::uint16_t>(in, count, type.swap, out);
    case 'u' * 16 + 4:
        return convert<std::uint32_t>(in, count, type.swap, out);
    default:
        return convert<std::uint64_t>(in, count, type.swap, out);
    }
}

std::uint64_t littleEndian(const unsigned char* bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

// Parses an `.npy` array of `size` bytes (which the caller has checked the source can hold)
// from `in`, which must end right after its data.
npy_array parseNpy(byte_reader& in, std::uint64_t size, npy_dims dims, const std::string& where) {
    std::array<unsigned char, 12> preamble{};
    const std::size_t got = in.read(reinterpret_cast<char*>(preamble.data()), 8);
    if (std::string_view(reinterpret_cast<const char*>(preamble.data()),
                         std::min(got, kMagic.size())) !=
        kMagic.substr(0, std::min(got, kMagic.size())))
        fail(where, "not an .npy array (it does not start with \\x93NUMPY)");
    if (got < 8)
        fail(where, "truncated .npy array (" + std::to_string(got) + " bytes)");
    const unsigned major = preamble[6], minor = preamble[7];
    if (minor != 0 || major < 1 || major > 3)
        fail(where, "unsupported .npy format version " + std::to_string(major) + "." +
                        std::to_string(minor));
    const std::size_t lengthBytes = major == 1 ? 2 : 4;
    if (in.read(reinterpret_cast<char*>(preamble.data() + 8), lengthBytes) != lengthBytes)
        fail(where, "truncated .npy array (its header length is missing)");
    const std::uint64_t headerLength = littleEndian(preamble.data() + 8, lengthBytes);
    const std::uint64_t dataOffset = 8 + lengthBytes + headerLength;
    if (headerLength > kMaxHeaderLength)
        fail(where, "header length " + std::to_string(headerLength) + " is absurd");
    if (dataOffset > size)
        fail(where, "header length " + std::to_string(headerLength) + " runs past the end (" +
                        std::to_string(size) + " bytes)");
    std::string text(headerLength, '\0');
    if (in.read(text.data(), text.size()) != text.size())
        fail(where, "truncated .npy array (in its header)");
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80 || c == '\0'; }))
        fail(where, "malformed header: a byte outside ASCII");
    const header head = header_parser(text, where).parse();

    if (head.fortranOrder)
        fail(where, "Fortran order is not supported (save a C-ordered array)");
    const std::size_t maxDims = dims == npy_dims::one ? 1 : 2;
    if (head.shape.empty() || head.shape.size() > maxDims)
        fail(where, "shape " + shapeText(head.shape) +
                        (maxDims == 1 ? " is not 1-D" : " is not 1-D or 2-D"));
    std::uint64_t count = 1;
    for (const std::uint64_t extent : head.shape)
        if (extent != 0 && count > std::numeric_limits<std::uint64_t>::max() / extent)
            fail(where, "shape " + shapeText(head.shape) + " is absurd");
        else
            count *= extent;
    const std::uint64_t dataBytes = size - dataOffset;
    if (count > dataBytes / head.type.size || count * head.type.size != dataBytes)
        fail(where, "shape " + shapeText(head.shape) + " of " + npzQuoted(head.descr) + " needs " +
                        (count > std::numeric_limits<std::uint64_t>::max() / head.type.size
                             ? std::string("more")
                             : std::to_string(count * head.type.size)) +
                        " bytes of data, there are " + std::to_string(dataBytes));

    npy_array array;
    array.shape.assign(head.shape.begin(), head.shape.end());
    array.values.resize(static_cast<std::size_t>(count));
    std::vector<char> chunk(
        std::min<std::uint64_t>(kChunkBytes, std::max<std::uint64_t>(dataBytes, 1)));
    const std::size_t perChunk = chunk.size() / head.type.size;
    for (std::size_t done = 0; done < array.values.size();) {
        const std::size_t items = std::min(perChunk, array.values.size() - done);
        const std::size_t bytes = items * head.type.size;
        const std::size_t read = in.read(chunk.data(), bytes);
        if (read != bytes)
            fail(where, "truncated .npy array (" + std::to_string(done * head.type.size + read) +
                            " of " + std::to_string(dataBytes) + " data bytes)");
        convert(head.type, chunk.data(), items, array.values.data() + done);
        done += items;
    }
    // Reading on to the end lets a zip member check its CRC.
    char extra;
    if (in.read(&extra, 1) != 0)
        fail(where, "bytes after the array data");
    return array;
}

struct zip_discarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct zip_file_closer {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using zip_ptr = std::unique_ptr<zip_t, zip_discarder>;

std::string zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Opens an archive from `source` (taken over), which holds `archiveSize` bytes.
zip_ptr openArchive(zip_source_t* source, std::uint64_t archiveSize, const std::string& name) {
    if (archiveSize == 0) {
        zip_source_free(source);
        fail(name, "not a zip archive (the file is empty)");
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) {
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        zip_source_free(source);
        fail(name, code == ZIP_ER_NOZIP ? std::string("not a zip archive")
                                        : "cannot read the zip archive: " + zipErrorText(code));
    }
    zip_error_fini(&error);
    return zip_ptr(archive);
}

std::map<std::string, npy_array> readArchive(zip_t* archive, std::uint64_t archiveSize,
                                             const std::string& name, npy_dims dims) {
    std::map<std::string, npy_array> arrays;
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t index = 0; index < entries; ++index) {
        zip_stat_t stat;
        const auto entry = static_cast<zip_uint64_t>(index);
        if (zip_stat_index(archive, entry, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            fail(name,
                 "cannot read member " + std::to_string(index) + ": " + zip_strerror(archive));
        const std::string member = stat.name;
        const std::string where = name + ": member " + npzQuoted(member);
        if (member.size() < 4 || member.compare(member.size() - 4, 4, ".npy") != 0)
            fail(where, "not an .npy array (its name does not end in .npy)");
        const std::string key = member.substr(0, member.size() - 4);
        if (arrays.count(key) != 0)
            fail(where, "given twice");
        constexpr zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD;
        if ((stat.valid & needed) != needed)
            fail(where, "its sizes are unknown");
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
            fail(where, "encrypted members are not supported");
        // The stated size may lie: it is held against what the member's compressed bytes
        // can expand to, which the archive itself must hold.
        const bool stored = stat.comp_method == ZIP_CM_STORE;
        if (!stored && stat.comp_method != ZIP_CM_DEFLATE)
            fail(where, "compression method " + std::to_string(stat.comp_method) +
                            " is not supported (stored or deflated needed)");
        if (stat.comp_size > archiveSize ||
            (stored ? stat.size != stat.comp_size
                    : stat.size / kMaxDeflateRatio > stat.comp_size + 1))
            fail(where, "its stated size of " + std::to_string(stat.size) +
                            " bytes is impossible for " + std::to_string(stat.comp_size) +
                            (stored ? " stored" : " compressed") + " bytes");
        std::unique_ptr<zip_file_t, zip_file_closer> file(zip_fopen_index(archive, entry, 0));
        if (!file)
            fail(where, std::string("cannot read: ") + zip_strerror(archive));
        zip_member_reader reader(file.get(), where);
        arrays.emplace(key, parseNpy(reader, stat.size, dims, where));
    }
    return arrays;
}

} // namespace

std::string npzQuoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e || c == '\\') {
            quoted += "\\x";
            quoted += kHex[byte >> 4];
            quoted += kHex[byte & 15];
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

npy_array readNpyBytes(std::string_view bytes, const std::string& name, npy_dims dims) {
    memory_reader reader(bytes);
    return parseNpy(reader, bytes.size(), dims, name);
}

npy_array readNpy(const std::string& fileName, npy_dims dims) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                         &std::fclose);
    if (!file)
        fail(fileName, std::string("cannot open: ") + std::strerror(errno));
    struct stat status;
    if (::fstat(fileno(file.get()), &status) != 0)
        fail(fileName, std::string("cannot read: ") + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        fail(fileName, "not a regular file");
    file_reader reader(file.get(), fileName);
    return parseNpy(reader, static_cast<std::uint64_t>(status.st_size), dims, fileName);
}

std::map<std::string, npy_array> readNpzBytes(std::string_view bytes, const std::string& name,
                                              npy_dims dims) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_error_fini(&error);
    if (source == nullptr)
        fail(name, "cannot read the zip archive: out of memory");
    const zip_ptr archive = openArchive(source, bytes.size(), name);
    return readArchive(archive.get(), bytes.size(), name, dims);
}

std::map<std::string, npy_array> readNpz(const std::string& fileName, npy_dims dims) {
    struct stat status;
    if (::stat(fileName.c_str(), &status) != 0)
        fail(fileName, std::string("cannot open: ") + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        fail(fileName, "not a regular file");
    const auto size = static_cast<std::uint64_t>(status.st_size);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_file_create(fileName.c_str(), 0, -1, &error);
    if (source == nullptr) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        fail(fileName, "cannot open: " + text);
    }
    zip_error_fini(&error);
    const zip_ptr archive = openArchive(source, size, fileName);
    return readArchive(archive.get(), size, fileName, dims);
}
