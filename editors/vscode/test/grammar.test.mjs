// Tokenizes Vexa assembly with the extension's TextMate grammar, as VS Code does, and checks
// the scopes: hand-picked lines exactly, and every line of the golden sources and examples
// against the assembler's own line structure and instruction set.
import assert from "node:assert/strict";
import { readFile, readdir } from "node:fs/promises";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import test from "node:test";
import { fileURLToPath } from "node:url";

const require = createRequire(import.meta.url);
const textmate = require("vscode-textmate");
const oniguruma = require("vscode-oniguruma");

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, "..", "..", "..");
const grammarPath = join(here, "..", "syntaxes", "vexa.tmLanguage.json");

async function loadGrammar() {
    const wasm = await readFile(require.resolve("vscode-oniguruma/release/onig.wasm"));
    await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.length));
    const text = await readFile(grammarPath, "utf8");
    const registry = new textmate.Registry({
        onigLib: Promise.resolve({
            createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
            createOnigString: (s) => new oniguruma.OnigString(s),
        }),
        loadGrammar: async (scope) =>
            scope === "source.vexa" ? textmate.parseRawGrammar(text, grammarPath) : null,
    });
    return registry.loadGrammar("source.vexa");
}

const grammar = await loadGrammar();

// The lines of a source with, for each, its tokens as {start, end, scopes}.
function tokenize(source) {
    let stack = textmate.INITIAL;
    return source.split("\n").map((text) => {
        const result = grammar.tokenizeLine(text, stack);
        stack = result.ruleStack;
        const tokens = result.tokens.map((t) => ({
            start: t.startIndex, end: Math.min(t.endIndex, text.length), scopes: t.scopes }));
        return { text, tokens };
    });
}

// The scopes that every token overlapping [start, end) of a line carries.
function scopesOver(line, start, end) {
    const over = line.tokens.filter((t) => t.start < end && t.end > start);
    return over.reduce((common, t) => common.filter((s) => t.scopes.includes(s)), over[0].scopes);
}

function hasScope(line, start, end, scope) {
    return scopesOver(line, start, end).some((s) => s === scope || s.startsWith(scope + "."));
}

const mnemonic = "keyword.other.mnemonic";
const unknownMnemonic = "invalid.illegal.mnemonic";
const label = "entity.name.function.label";
const labelRef = "variable.other.label";
const symbol = "variable.other.constant.symbol";
const register = "variable.language.register";
const comment = "comment";
const directive = "keyword.control.directive";
const badOperand = "invalid.illegal.operand";

// Each row: a source and, in order of appearance, texts with the scope (or scopes) they
// must carry whole or, after "!", must not carry.
const rows = [
    ["start:  move    $COUNT, R1          # => 3c0000400000000a",
     [["start", label], [":", "punctuation.separator.label"], ["move", mnemonic],
      ["$COUNT", symbol], [",", "punctuation.separator.operand"], ["R1", register],
      ["# => 3c0000400000000a", comment]]],
    ["        loop    R1, @loop", [["loop", mnemonic], ["R1", register], ["@loop", labelRef]]],
    ["again :     # alone", [["again", label], ["# alone", comment]]],
    ["a-b :   add     R1, 5, R2,", [["a-b", label], ["add", mnemonic], ["5", "constant.numeric"]]],
    ["\tadd\tR1,R2 ,  R3",
     [["add", mnemonic], ["R1", register], ["R2", register], ["R3", register]]],
    ["        move    0x1F, R2", [["0x1F", "constant.numeric.hex"]]],
    ["        move    017, R3", [["017", "constant.numeric.octal"]]],
    ["        set_awg_gain    -32768, 0", [["set_awg_gain", mnemonic],
                                           ["-32768", "constant.numeric.decimal"],
                                           ["0", "constant.numeric.decimal"]]],
    ["        move    R-1, r2", [["R-1", register], ["r2", register]]],
    ["        wait    x1", [["x1", register]]],
    ["        stop-x", [["stop-x", unknownMnemonic]]],
    ["        jump    @start", [["jump", unknownMnemonic], ["@start", labelRef]]],
    ["add R1, R2 junk", [["junk", badOperand]]],
    ["add 08, 5x, R08, R-, zz", [["08", badOperand], ["5x", badOperand], ["R08", badOperand],
                                ["R-", badOperand], ["zz", badOperand]]],
    ["jmp @1x, $1x, @a@b", [["@1x", badOperand], ["$1x", badOperand], ["@a@b", badOperand]]],
    [".DEF    GAIN    -1                  # negative",
     [[".DEF", directive], ["GAIN", "variable.other.constant.definition"],
      ["-1", "constant.numeric.decimal"], ["# negative", comment]]],
    [".DEF    REG     R5", [["REG", "variable.other.constant.definition"], ["R5", register]]],
    [".DEF    BACK    @waiting", [["@waiting", labelRef]]],
    [".def N 5", [[".def", "invalid.illegal.directive"]]],
    ["  .FOO X 1", [[".FOO", "invalid.illegal.directive"]]],
    [".CPU    vexa  # cpu",
     [[".CPU", directive], ["vexa", `!${unknownMnemonic}`], ["# cpu", comment]]],
    ["# move R1, 5", [["move", [comment, `!${mnemonic}`]]]],
    ["        nop   # wait 4", [["nop", mnemonic], ["wait", `!${mnemonic}`]]],
    // Lines after .SIM are no instructions until .CODE; .CPU and .END do not end the section.
    [".SIM\n        nop\n.END\n        wait 4 # note\n.CODE\n        nop",
     [[".SIM", directive], ["nop", ["comment.block.sim", `!${mnemonic}`]],
      [".END", directive], ["wait 4", "comment.block.sim"], ["# note", comment],
      [".CODE", directive], ["nop", mnemonic]]],
    [".SIMX\n        nop", [[".SIMX", "invalid.illegal.directive"], ["nop", mnemonic]]],
];

test("hand-picked lines carry their scopes", () => {
    for (const [source, expectations] of rows) {
        const lines = tokenize(source);
        let lineNr = 0;
        let column = 0;
        for (const [text, wanted] of expectations) {
            while (lines[lineNr].text.indexOf(text, column) < 0) {
                lineNr += 1;
                column = 0;
                assert.ok(lineNr < lines.length, `${JSON.stringify(source)}: no '${text}'`);
            }
            const line = lines[lineNr];
            const start = line.text.indexOf(text, column);
            column = start + text.length;
            for (const want of [wanted].flat()) {
                const negated = want.startsWith("!");
                const scope = negated ? want.slice(1) : want;
                assert.equal(hasScope(line, start, column, scope), !negated,
                    `${JSON.stringify(source)}: '${text}' ${negated ? "has" : "lacks"} ${scope}` +
                    ` (has ${scopesOver(line, start, column).join(" ")})`);
            }
        }
    }
});

async function goldenSources() {
    const dirs = [join(root, "tests", "golden", "asm"), join(root, "examples")];
    const files = [];
    for (const dir of dirs) {
        for (const name of (await readdir(dir)).filter((n) => n.endsWith(".s")).sort()) {
            files.push(join(dir, name));
        }
    }
    return files;
}

async function instructionSet() {
    const text = await readFile(join(root, "assembler", "seq_instr_set.cpp"), "utf8");
    return new Set([...text.matchAll(/\{\d+, "([a-z_]+)", [01]/g)].map((m) => m[1]));
}

// Every golden line, cut the way the assembler cuts it: section lines switch to and from the
// simulator's section, whose lines are no code; '#' starts a comment; a directive's keyword
// starts the line; otherwise an optional label and the mnemonic come first, then operands.
test("golden sources: every word where the assembler looks for it is scoped", async () => {
    const mnemonics = await instructionSet();
    assert.ok(mnemonics.size >= 30, `instruction set read: ${[...mnemonics].join(" ")}`);
    const seen = new Set();
    for (const file of await goldenSources()) {
        const name = file.slice(root.length + 1);
        let inSim = false;
        for (const [index, line] of tokenize(await readFile(file, "utf8")).entries()) {
            const where = `${name}:${index + 1}: ${line.text}`;
            const check = (start, end, scope) => assert.ok(hasScope(line, start, end, scope),
                `${where}\n  '${line.text.slice(start, end)}' lacks ${scope}` +
                ` (has ${scopesOver(line, start, end).join(" ")})`);
            const hash = line.text.indexOf("#");
            const code = hash < 0 ? line.text : line.text.slice(0, hash);
            if (hash >= 0) {
                check(hash, line.text.length, comment);
            }
            if (line.text.includes("# =>") || !name.endsWith("error_report.s") &&
                name.startsWith("examples")) {
                for (const t of line.tokens) {
                    assert.ok(!t.scopes.some((s) => s.startsWith("invalid")),
                        `${where}\n  '${line.text.slice(t.start, t.end)}' marked invalid`);
                }
            }
            const keyword = /^\s*(\.[\w.-]+)/.exec(code);
            if (keyword) {
                const start = code.indexOf(keyword[1]);
                const known = [".CODE", ".SIM", ".CPU", ".END", ".DEF"].includes(keyword[1]);
                check(start, start + keyword[1].length, known ? directive : "invalid.illegal");
                if (keyword[1] === ".SIM" || keyword[1] === ".CODE") {
                    inSim = keyword[1] === ".SIM";
                }
                continue;
            }
            if (inSim) {
                const text = /\S(.*\S)?/.exec(code);
                if (text) {
                    check(text.index, text.index + text[0].length, comment);
                }
                continue;
            }
            const statement = /^(\s*(?:([A-Za-z_][\w-]*)\s*:\s*)?)([\w-]+)?(.*)$/.exec(code);
            const [, head, labelText, word, rest] = statement;
            if (labelText) {
                const start = code.indexOf(labelText);
                check(start, start + labelText.length, label);
            }
            if (!word) {
                continue;
            }
            const known = mnemonics.has(word);
            check(head.length, head.length + word.length, known ? mnemonic : unknownMnemonic);
            if (known) {
                seen.add(word);
            }
            let column = head.length + word.length;
            for (const operand of rest.split(",")) {
                const text = /[\w$@-]+/.exec(operand);
                if (text) {
                    const start = column + text.index;
                    const scopes = scopesOver(line, start, start + text[0].length);
                    assert.ok(scopes.some((s) => /^(variable|constant|invalid)\./.test(s)),
                        `${where}\n  operand '${text[0]}' unscoped (${scopes.join(" ")})`);
                }
                column += operand.length + 1;
            }
        }
    }
    assert.deepEqual([...mnemonics].filter((m) => !seen.has(m)), [],
        "instructions never scoped as mnemonics in the golden sources");
});
