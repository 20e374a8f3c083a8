"""Assembling, loading and writing programs: the package's texts equal the tools' files."""

import re

import numpy as np
import pytest

import vexa
from conftest import EXAMPLES, GOOD_EXAMPLES, SOURCE_DIR, run_tool


def test_version_is_the_cmake_package_version():
    cmake = (SOURCE_DIR / "CMakeLists.txt").read_text()
    assert vexa.__version__ == re.search(r"set\(VEXA_VERSION (\S+)\)", cmake).group(1)


@pytest.mark.parametrize("example", GOOD_EXAMPLES, ids=lambda p: p.name)
def test_hex_and_disassembly_equal_the_tools_output(example, tmp_path):
    assert run_tool("vexasm", "-l", "quiet", "-o", tmp_path / "p", example).returncode == 0
    hex_file = tmp_path / "p.hex"
    prog = vexa.assemble_file(example)
    assert prog.to_hex().encode() == hex_file.read_bytes()
    assert len(prog) == len(prog.words) == len(hex_file.read_text().splitlines())
    assert prog.words.dtype == np.uint64
    assert [f"{w:016x}" for w in prog.words] == hex_file.read_text().splitlines()

    for labels, flags in ((True, []), (False, ["-n"])):
        dis = run_tool("vexadis", "-l", "quiet", *flags, hex_file)
        assert dis.returncode == 0
        assert prog.disassemble(labels=labels).encode() == dis.stdout, f"labels={labels}"

    prog.save_hex(tmp_path / "saved.hex")
    assert (tmp_path / "saved.hex").read_bytes() == hex_file.read_bytes()
    loaded = vexa.load_hex(hex_file)
    assert np.array_equal(loaded.words, prog.words)
    assert loaded.disassemble() == prog.disassemble()


def test_text_and_bytes_and_words_give_the_same_program():
    source = (EXAMPLES / "pulse_sequence.s").read_text()
    from_text = vexa.assemble(source)
    from_bytes = vexa.assemble(source.encode(), filename="pulse.s")
    assert from_text.filename == "<string>" and from_bytes.filename == "pulse.s"
    assert np.array_equal(from_text.words, from_bytes.words)
    assert np.array_equal(vexa.from_words(list(from_text.words)).words, from_text.words)


def test_program_pickles_as_its_words():
    import pickle

    prog = vexa.assemble_file(EXAMPLES / "pulse_sequence.s")
    again = pickle.loads(pickle.dumps(prog))
    assert np.array_equal(again.words, prog.words) and again.filename == prog.filename
    assert again.simulate().log_text() == prog.simulate().log_text()


def test_words_are_a_copy():
    prog = vexa.assemble("nop\nstop\n")
    words = prog.words
    words[0] = 0
    assert prog.words[0] != 0


def test_disassembly_without_labels_assembles_to_the_same_words():
    prog = vexa.assemble_file(EXAMPLES / "symbols.s")
    again = vexa.assemble(prog.disassemble(labels=False))
    assert np.array_equal(again.words, prog.words)


def test_empty_source_is_an_empty_program(tmp_path):
    prog = vexa.assemble("")
    assert len(prog) == 0 and prog.to_hex() == "" and prog.disassemble() == ""
    run = prog.simulate()
    assert not run.completed and len(run.events) == 0
    assert run.message == "ILLEGAL instruction at instruction address:  0"


def test_save_hex_into_a_missing_folder_raises_and_writes_nothing(tmp_path):
    prog = vexa.assemble("stop\n")
    with pytest.raises(OSError, match="missing"):
        prog.save_hex(tmp_path / "missing" / "p.hex")
    assert not (tmp_path / "missing").exists()


def test_save_hex_that_fails_keeps_the_existing_file(tmp_path):
    target = tmp_path / "p.hex"
    target.write_text("old\n")
    with pytest.raises(OSError):
        vexa.assemble("stop\n").save_hex("/dev/full")
    vexa.assemble("stop\n").save_hex(target)
    assert target.read_text() == "0800000000000000\n"


@pytest.mark.parametrize(
    "content, message",
    [
        (b"0800000000000000\n08000000000000\n", r"bad\.hex:2: malformed instruction word '08000000000000'"),
        (b"zz00000000000000\n", r"bad\.hex:1: malformed instruction word"),
        (b"0800000000000000\x00\n", r"bad\.hex:1: malformed"),
        (b"0800000000000000\n" * 4097, r"bad\.hex:4097: more than 4096 instruction words"),
    ],
    ids=["short", "not hex", "nul", "too long"],
)
def test_malformed_hex_raises_value_error_naming_file_and_line(write, content, message):
    path = write("bad.hex", content)
    with pytest.raises(ValueError, match=message):
        vexa.load_hex(path)


def test_hex_in_upper_case_without_final_line_feed_loads(write):
    prog = vexa.load_hex(write("p.hex", "AC00000040004000\n0800000000000000"))
    assert prog.disassemble(labels=False).splitlines()[1].strip() == "stop"


@pytest.mark.parametrize("loader", [vexa.load_hex, vexa.assemble_file])
def test_missing_file_raises_os_error_with_the_library_message(tmp_path, loader):
    path = tmp_path / "none.s"
    with pytest.raises(FileNotFoundError if loader is vexa.load_hex else OSError) as info:
        loader(path)
    assert f"Could not open input file '{path}' for reading" in str(info.value)


def test_directory_is_no_source(tmp_path):
    with pytest.raises(OSError):
        vexa.assemble_file(tmp_path)
    with pytest.raises(OSError):
        vexa.load_hex(tmp_path)


@pytest.mark.parametrize("words", [np.zeros(4097, dtype=np.uint64), np.zeros((2, 2))])
def test_words_that_are_no_program_are_refused(words):
    with pytest.raises(ValueError):
        vexa.from_words(words)


def test_source_of_another_type_is_refused():
    with pytest.raises(TypeError):
        vexa.assemble(42)
