"""Assembly errors: every block of the report as a Diagnostic, and bad source text."""

import pytest

import vexa
from conftest import EXAMPLES, run_tool


def block_of(d: vexa.Diagnostic) -> str:
    """The text a diagnostic stands for in the report."""
    if d.line is None:
        return d.message
    position = f"{d.filename}:{d.line}" + ("" if d.column is None else f":{d.column}")
    return f"{position}: {d.message}: "


def assembly_error(source, **kwargs) -> vexa.AssemblyError:
    with pytest.raises(vexa.AssemblyError) as info:
        vexa.assemble(source, **kwargs)
    return info.value


def test_report_equals_what_vexasm_logs_and_diagnostics_point_into_it():
    path = EXAMPLES / "error_report.s"
    with pytest.raises(vexa.AssemblyError) as info:
        vexa.assemble_file(path)
    err = info.value
    tool = run_tool("vexasm", "-o", "/dev/null/x", path)
    assert tool.returncode == 4
    assert str(err).encode() in tool.stderr

    assert [(d.line, d.column, d.length) for d in err.diagnostics] == [
        (6, 24, 1), (7, 8, 4), (8, 24, 46), (9, 24, 2)]
    lines = path.read_text().splitlines()
    position = 0
    for d in err.diagnostics:
        assert d.filename == str(path)
        assert d.source == lines[d.line - 1]
        found = str(err).find(block_of(d), position)
        assert found > position, d
        position = found
    assert err.diagnostics[1].source[8:12] == "jump"


def test_several_kinds_of_errors_in_line_order():
    source = (
        ".DEF A 1\n"
        "x: nop\n"
        "   wait 2\n"
        ".DEF A 2\n"
        "x: jmp @nowhere\n"
        "   add R1, $B, R2\n"
    )
    err = assembly_error(source, filename="several.s")
    report = str(err)
    assert report.startswith(f"assembler failed with ")
    for d in err.diagnostics:
        assert block_of(d) in report, d
    # Errors in the order of their first line; an error's blocks stay together.
    assert [d.line for d in err.diagnostics] == [1, 4, 2, 5, 6]
    # A duplicate definition quotes both lines: one diagnostic each, with the same message.
    duplicates = [d for d in err.diagnostics if d.message.startswith("Duplicate symbol: A")]
    assert [d.line for d in duplicates] == [1, 4]
    assert any(d.message.startswith("Unresolved symbol: B") and d.line == 6 for d in err.diagnostics)
    assert [d.line for d in err.diagnostics if "address label: x" in d.message] == [2, 5]
    assert report.startswith("assembler failed with 3 errors:\n")


def test_error_without_position_has_line_and_column_none():
    err = assembly_error("nop\n" * 4097, filename="long.s")
    [d] = err.diagnostics
    assert d.line is None and d.column is None and d.source is None
    assert d.message.startswith("Program too long (4097). Maximum 4096 instructions")
    assert d.filename == "long.s"
    assert d.message in str(err)


def test_error_count_is_the_number_of_errors_not_of_blocks():
    err = assembly_error(".DEF A 1\n.DEF A 2\nstop\n")
    assert str(err).startswith("assembler failed with 1 errors:\n")
    assert len(err.diagnostics) == 2


def test_bytes_that_are_not_utf8_are_assembled_and_reported():
    err = assembly_error(b"nop\n  jump\xff\xfe 1\nstop # \xe9t\xe9\n", filename="latin.s")
    [d] = err.diagnostics
    assert d.line == 2
    assert "\ufffd" in d.source  # shown, not an exception
    assert vexa.assemble(b"stop # caf\xe9\n").words.size == 1


def test_nul_bytes_are_errors_not_the_end_of_the_source():
    err = assembly_error("nop\nst\0op\nstop\n")
    assert [d.line for d in err.diagnostics] == [2]
    assert "spurious characters" in err.diagnostics[0].message


def test_report_without_file_name_uses_line_numbers():
    err = assembly_error("jump 1\n", filename="")
    [d] = err.diagnostics
    assert d.filename is None and d.line == 1
    assert "line 1 column 0:" in str(err)


def test_assembly_error_is_a_value_error():
    with pytest.raises(ValueError):
        vexa.assemble("jump 1\n")
