"""Assembling, loading and writing programs: the package's texts equal the tools' files."""

import pickle

import numpy as np
import pytest

import vexa
from conftest import EXAMPLES, GOOD_EXAMPLES, run_tool


@pytest.mark.parametrize("example", GOOD_EXAMPLES, ids=lambda p: p.name)
def test_hex_and_disassembly_equal_the_tools_output(example, tmp_path):
    assert run_tool("vexasm", "-l", "quiet", "-o", tmp_path / "p", example).returncode == 0
    hex_file = tmp_path / "p.hex"
    prog = vexa.assemble_file(example)
    assert prog.to_hex().encode() == hex_file.read_bytes()
    assert prog.words.dtype == np.uint64 and len(prog) == len(prog.words)
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


def test_text_bytes_words_and_pickle_give_the_same_program():
    source = (EXAMPLES / "pulse_sequence.s").read_text()
    from_text = vexa.assemble(source)
    from_bytes = vexa.assemble(source.encode(), filename="pulse.s")
    assert from_text.filename == "<string>" and from_bytes.filename == "pulse.s"
    assert np.array_equal(from_text.words, from_bytes.words)
    assert np.array_equal(vexa.from_words(list(from_text.words)).words, from_text.words)
    again = pickle.loads(pickle.dumps(from_bytes))
    assert np.array_equal(again.words, from_bytes.words) and again.filename == "pulse.s"
    assert again.simulate().log_text() == from_bytes.simulate().log_text()
    words = from_text.words
    words[0] = 0  # a copy: the program keeps its words
    assert from_text.words[0] != 0


@pytest.mark.parametrize(
    "target, reason",
    [("missing/p.hex", "Could not open output file '.*/missing/p.hex'"),
     ("/dev/full", "Could not write output file '/dev/full'")])
def test_writers_that_fail_raise_os_error_and_leave_no_file(tmp_path, target, reason):
    prog = vexa.assemble("stop\n")
    for save in (prog.save_hex, prog.simulate().save_svg):
        with pytest.raises(OSError, match=reason):
            save(tmp_path / target)
    assert list(tmp_path.iterdir()) == []


def test_malformed_hex_raises_value_error_naming_file_and_line(tmp_path):
    path = tmp_path / "bad.hex"
    path.write_bytes(b"0800000000000000\n08000000000000\n")
    with pytest.raises(ValueError) as info:
        vexa.load_hex(path)
    assert str(info.value).startswith(f"{path}:2: malformed instruction word '08000000000000'")


def test_hex_that_fails_to_read_raises_os_error():
    # Opening /proc/self/mem works; reading its first page does not.
    with pytest.raises(OSError, match="/proc/self/mem:1: read error"):
        vexa.load_hex("/proc/self/mem")


@pytest.mark.parametrize("loader", [vexa.load_hex, vexa.assemble_file])
def test_missing_file_or_directory_raises_os_error(tmp_path, loader):
    path = tmp_path / "none.s"
    with pytest.raises(FileNotFoundError if loader is vexa.load_hex else OSError) as info:
        loader(path)
    assert f"Could not open input file '{path}' for reading" in str(info.value)
    with pytest.raises(OSError):
        loader(tmp_path)


@pytest.mark.parametrize("words, error, message", [
    (np.zeros(4097, dtype=np.uint64), ValueError, "Program of 4097 instruction words does not"),
    (np.zeros((2, 2), dtype=np.uint64), ValueError, "words must be one-dimensional"),
    (7, ValueError, "words must be one-dimensional"),
    (np.array([1.0, 2.0]), TypeError, "words must be integers, not float64"),
    (np.array([True]), TypeError, "words must be integers, not bool"),
    ([0, 1.5], TypeError, r"words\[1\] must be an integer, not float"),
    (["1"], TypeError, r"words\[0\] must be an integer, not str"),
    ([3, 2, -1], ValueError, r"words\[2\] = -1 is negative"),
    (np.array([0, -7], dtype=np.int8), ValueError, r"words\[1\] = -7 is negative"),
    ([1, 2**64], ValueError, r"words\[1\] = 18446744073709551616 does not fit in 64 bits"),
])
def test_words_that_are_no_program_are_refused(words, error, message):
    with pytest.raises(error, match=f"^{message}"):
        vexa.from_words(words)


def test_words_of_any_integer_type_in_range_are_taken():
    top = 2**64 - 1
    for words in ([top, 0], np.array([top, 0], dtype=object), np.array([-0, 5], dtype=np.int8)):
        assert vexa.from_words(words).words.tolist() == [int(w) for w in words], words


def test_source_of_another_type_is_refused():
    with pytest.raises(TypeError):
        vexa.assemble(42)
