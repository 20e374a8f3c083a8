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


def assembly_error(source, assemble=vexa.assemble, **kwargs) -> vexa.AssemblyError:
    with pytest.raises(vexa.AssemblyError) as info:
        assemble(source, **kwargs)
    return info.value


def test_report_equals_what_vexasm_logs_and_diagnostics_point_into_it():
    path = EXAMPLES / "error_report.s"
    err = assembly_error(path, vexa.assemble_file)
    tool = run_tool("vexasm", "-o", "/dev/null/x", path)
    assert tool.returncode == 4
    assert str(err).encode() in tool.stderr

    assert [(d.line, d.column, d.length) for d in err.diagnostics] == [
        (6, 24, 1), (7, 8, 4), (8, 24, 46), (9, 24, 2)]
    lines = path.read_text().splitlines()
    position = 0
    for d in err.diagnostics:
        assert d.filename == str(path) and d.source == lines[d.line - 1]
        found = str(err).find(block_of(d), position)
        assert found > position, d
        position = found


def test_errors_in_line_order_with_a_diagnostic_per_quoted_line():
    source = ".DEF A 1\nx: nop\n   wait 2\n.DEF A 2\nx: jmp @nowhere\n   add R1, $B, R2\n"
    err = assembly_error(source, filename="several.s")
    assert isinstance(err, ValueError)
    # Three errors; a duplicate quotes both of its lines, and its blocks stay together.
    assert str(err).startswith("assembler failed with 3 errors:\n")
    assert [(d.line, d.message) for d in err.diagnostics] == [
        (1, "Duplicate symbol: A. "), (4, "Duplicate symbol: A. "),
        (2, "Duplicate address label: x. "), (5, "Duplicate address label: x. "),
        (6, "Unresolved symbol: B. ")]
    assert all(block_of(d) in str(err) for d in err.diagnostics)


def test_error_without_position_has_line_and_column_none():
    err = assembly_error("nop\n" * 4097, filename="long.s")
    [d] = err.diagnostics
    assert (d.filename, d.line, d.column, d.source) == ("long.s", None, None, None)
    assert d.message.startswith("Program too long (4097). Maximum 4096 instructions")
    assert d.message in str(err)


def test_bytes_that_are_not_utf8_are_reported_without_a_file_name():
    err = assembly_error(b"nop\n  jump\xff\xfe 1\nstop # \xe9t\xe9\n", filename="")
    [d] = err.diagnostics
    assert d.filename is None and d.line == 2
    assert "\ufffd" in d.source  # shown, not an exception
    assert "line 2 column 6: Syntax error" in str(err)
    assert vexa.assemble(b"stop # caf\xe9\n").words.size == 1
