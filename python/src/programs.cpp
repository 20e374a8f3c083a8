// Programs from source text, source files, .hex files and words, and what they give back:
// their words, hex text and disassembly. A failure raises where it is found: AssemblyError
// for a source with errors, OSError for a file that cannot be read or written, ValueError
// for words that are no program.

#include "bindings.h"
#include "diagnostics.h"
#include "program.h"
#include "text.h"
#include "words.h"

#include "base/utils/FileOutput.h"
#include "base/utils/SourceReader.h"
#include "formats/seq_hex_file.h"
#include "sequencer/SeqAssembler.h"

#include <filesystem>
#include <sstream>

namespace vexa_py {

namespace {

ProgramPtr newProgram(Program::Origin origin, const std::string& name,
                      std::shared_ptr<const std::string> source) {
    const py::gil_scoped_release release;
    return std::make_shared<Program>(origin, name, std::move(source));
}

// Assembles with `assemble(driver, report)`, which runs one of the driver's assemble calls.
template <class Assemble>
ProgramPtr assembleWith(ProgramPtr program, const std::string& name, Assemble assemble) {
    UIStr report;
    std::vector<DiagnosticData> diagnostics;
    bool readerFailed = false;
    const int status = withProgram(*program, [&](seq& driver) {
        const int result = assemble(driver, report);
        if (result != 0) {
            readerFailed = driver.lastErrors().empty();
            diagnostics = diagnosticsOf(driver.lastErrors(), name);
        }
        return result;
    });
    if (status == 0)
        return program;
    // Without errors of the source, the source itself could not be read.
    if (readerFailed)
        raise(PyExc_OSError, report);
    raiseAssemblyError(report, diagnostics);
}

ProgramPtr assembleText(const py::bytes& source, const py::bytes& filename) {
    auto text = std::make_shared<const std::string>(source);
    const std::string name = filename;
    return assembleWith(newProgram(Program::Origin::Text, name, text), name,
                        [&](seq& driver, UIStr& report) {
                            StringSourceReader reader(text, name);
                            return driver.assemble(reader, report);
                        });
}

ProgramPtr assembleFile(const py::bytes& path) {
    const std::string name = path;
    return assembleWith(
        newProgram(Program::Origin::File, name, nullptr), name,
        [&](seq& driver, UIStr& report) { return driver.assembleFile(name, report); });
}

ProgramPtr fromWords(const py::handle& words, const py::bytes& name) {
    const std::vector<uint64_t> checked = wordsFrom(words);
    ProgramPtr program = newProgram(Program::Origin::Image, name, nullptr);
    UIStr message;
    if (!withProgram(*program, [&](seq& driver) { return driver.loadImage(checked, message); }))
        raise(PyExc_ValueError, message);
    return program;
}

// FileNotFoundError when nothing is at the path, OSError when the file is there but cannot be
// read, ValueError naming the line when its text is no program.
ProgramPtr loadHex(const py::bytes& path) {
    const std::string name = path;
    ProgramPtr program = newProgram(Program::Origin::Image, name, nullptr);
    bool missing = false;
    const seq_image_load load = withProgram(*program, [&](seq& driver) {
        seq_image_load result = loadHexImage(driver, name);
        if (result.result == seq_image_load::outcome::unreadable) {
            std::error_code error;
            missing = !std::filesystem::exists(std::filesystem::symlink_status(name, error));
        }
        return result;
    });
    if (load)
        return program;
    if (load.result == seq_image_load::outcome::unreadable)
        raise(missing ? PyExc_FileNotFoundError : PyExc_OSError, load.message);
    raise(PyExc_ValueError, load.message); // malformed, or words the driver refused
}

std::string hexText(seq& driver) {
    std::ostringstream out;
    driver.assembler()->printHexOutput(out);
    return out.str();
}

py::array_t<uint64_t> words(Program& p) {
    const std::vector<uint64_t> words = withProgram(p, [&p](seq&) { return p.words(); });
    return py::array_t<uint64_t>(static_cast<py::ssize_t>(words.size()), words.data());
}

// Replaces the file only by a complete one.
void saveHex(Program& p, const py::bytes& path) {
    const std::string fileName = path;
    const std::string error = withProgram(p, [&fileName](seq& d) {
        const std::string hex = hexText(d);
        FileOutput out;
        if (out.open(fileName)) {
            out.append(hex);
            out.commit();
        }
        return out.error();
    });
    if (!error.empty())
        raise(PyExc_OSError, error);
}

py::str disassemble(Program& p, bool labels) {
    const std::string listing = withProgram(p, [labels](seq& d) {
        auto& writeAddresses = d.assembler()->config().writeAddresses;
        const bool wrote = writeAddresses;
        writeAddresses = labels;
        std::ostringstream out;
        d.assembler()->disassemble(out);
        writeAddresses = wrote;
        return out.str();
    });
    return text(listing);
}

} // namespace

void init_programs(py::module_& m) {
    py::class_<Program, ProgramPtr>(m, "Program")
        .def_property_readonly("name", [](const Program& p) { return text(p.name()); })
        .def("words", &words)
        .def("__len__",
             [](Program& p) {
                 return withProgram(p, [](seq& d) { return d.assembler()->numInstructions(); });
             })
        .def("to_hex", [](Program& p) { return text(withProgram(p, &hexText)); })
        .def("save_hex", &saveHex)
        .def("disassemble", &disassemble);

    m.def("assemble", &assembleText);
    m.def("assemble_file", &assembleFile);
    m.def("load_hex", &loadHex);
    m.def("from_words", &fromWords);
}

} // namespace vexa_py
