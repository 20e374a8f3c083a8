// Text output to a file that nobody sees half-written: the text goes to a new file beside the
// target, which takes the target's name only in commit(); a file that is not committed (a
// failure, an exception, an early return) is removed again and the target stays as it was.
// "-" writes to standard output, and a target that exists and is no regular file (a device,
// a pipe) is written in place.
#pragma once

#include "base/utils/TextOutput.h"

#include <string>

class FileOutput : public TextOutput {
public:
    FileOutput() = default;
    ~FileOutput() override;

    // False, with error() set, when the file cannot be created.
    bool open(const std::string& fileName);
    // Writes what is buffered and gives the file its name; false, with error() set, when any
    // write failed (the file is removed then). Nothing is written after it.
    bool commit();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& fileName() const { return m_fileName; }

protected:
    bool writeBlock(std::string_view block) override;

private:
    // Closes the descriptor and removes the temporary file.
    void abandon();

    std::string m_fileName;
    std::string m_target;   // the path that the temporary file is renamed to
    std::string m_tempName; // empty when writing in place
    int m_fd = -1;
    bool m_ownsFd = false;
};
