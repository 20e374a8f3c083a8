#ifndef FORMATS_NPZ_WRITER_H
#define FORMATS_NPZ_WRITER_H

// Writes an `.npz` archive of named 1-D arrays whose lengths are known in advance, without
// holding any array whole: when the archive is written, each array's elements are asked for
// in chunks, in order, and go straight into its stored (uncompressed) `.npy` member, as
// numpy.savez writes them. The archive is written under a temporary name beside the target
// and renamed to it only when complete; on failure nothing is left behind and an existing
// target stays as it was. Every member carries the same fixed time stamp (1980-01-01 00:00),
// so that the same arrays always make the same bytes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class npz_writer {
public:
    // Fills `out` with the elements [first, first + out.size()) of an array.
    template <typename T> using fill_t = std::function<void(std::uint64_t first, std::span<T> out)>;

    // Arrays in the order of the members; `name` without ".npy".
    void addInt64(std::string name, std::uint64_t length, fill_t<std::int64_t> fill);
    void addFloat32(std::string name, std::uint64_t length, fill_t<float> fill);
    void addUInt8(std::string name, std::uint64_t length, fill_t<std::uint8_t> fill);

    // Writes the archive; throws npz_error naming the file and the reason, or what a fill
    // function threw. The arrays stay added, so a failed write can be tried again.
    void write(const std::string& fileName) const;

    // The `.npy` header of a 1-D array of `length` elements of type `descr` (such as "<f4").
    static std::string npyHeader(const std::string& descr, std::uint64_t length);

    struct member {
        std::string name;
        std::string descr;
        std::size_t itemSize = 0;
        std::uint64_t length = 0;
        std::function<void(std::uint64_t first, std::size_t count, void* out)> fill;
    };

private:
    std::vector<member> m_members;
};

#endif
