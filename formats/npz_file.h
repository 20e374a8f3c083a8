#ifndef FORMATS_NPZ_FILE_H
#define FORMATS_NPZ_FILE_H

// Reading numpy's array files: a single `.npy` array, or an `.npz` archive (a zip file of
// `.npy` members, stored or deflated, as numpy.savez and numpy.savez_compressed write it).
// The arrays come out as float samples: float32 and float64 in either byte order, and integer
// arrays (np.array([0, 1, 0]) is an integer array) converted to their values. Every refusal
// is an npz_error whose message starts with the file name and, in an archive, the member.

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class npz_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The shapes a caller takes: 1-D only, or 1-D and 2-D (for example two rows of input samples).
enum class npy_dims { one, oneOrTwo };

struct npy_array {
    std::vector<std::size_t> shape; // one extent, or two (rows, columns)
    std::vector<float> values;      // row by row
};

// A `.npy` file.
npy_array readNpy(const std::string& fileName, npy_dims dims = npy_dims::one);
// The bytes of a `.npy` file; `name` stands for it in messages.
npy_array readNpyBytes(std::string_view bytes, const std::string& name,
                       npy_dims dims = npy_dims::one);

// The arrays of an `.npz` archive by name (the member name without ".npy").
std::map<std::string, npy_array> readNpz(const std::string& fileName,
                                         npy_dims dims = npy_dims::one);
std::map<std::string, npy_array> readNpzBytes(std::string_view bytes, const std::string& name,
                                              npy_dims dims = npy_dims::one);

// `text` in single quotes, with control characters and bytes above 0x7e as \xNN, for
// messages that show a name taken from a file.
std::string npzQuoted(std::string_view text);

#endif
