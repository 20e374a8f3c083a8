// The language server driven through a session of messages, as an editor sends them, and
// the built vexa-lsp over pipes with the protocol's framing.
#include <gtest/gtest.h>

#include "base/Logging.h"
#include "lsp/lsp_document.h"
#include "lsp/lsp_framing.h"
#include "lsp/lsp_server.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

using json = nlohmann::json;

namespace {

// The servers' drivers are made before a fixture's body runs: logging is quiet from the start.
const bool kQuiet = Logging::setLogLevel(Logging::quietLevel);

const char* const kUri = "file:///p.s";
// Line 1 holds a non-ASCII comment. The loop runs three times (R1 counts 3, 2, 1).
const char* const kSource = ".DEF N 3\n"
                            "start:  move $N, R1   # z\xc3\xa4hler \xf0\x9f\x98\x80\n"
                            "again:  wait 10\n"
                            "        loop  R1,@again\n"
                            "        jge  R1,5,@again\n"
                            "        stop\n";

class Session : public ::testing::Test {
protected:
    Session() {
        EXPECT_TRUE(kQuiet);
        request("initialize", {{"capabilities", json::object()}});
    }

    void notify(const std::string& method, const json& params) {
        m_out.clear();
        server.handle(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}}.dump());
    }
    json request(const std::string& method, const json& params) {
        m_out.clear();
        server.handle(
            json{{"jsonrpc", "2.0"}, {"id", ++m_id}, {"method", method}, {"params", params}}
                .dump());
        for (const json& message : m_out)
            if (message.value("id", json()) == m_id)
                return message;
        ADD_FAILURE() << method << " was not answered";
        return {};
    }
    json at(const std::string& method, int line, int character, json extra = json::object()) {
        extra["textDocument"] = {{"uri", kUri}};
        extra["position"] = {{"line", line}, {"character", character}};
        return request(method, extra)["result"];
    }
    void open(const std::string& text) {
        notify("textDocument/didOpen",
               {{"textDocument", {{"uri", kUri}, {"version", 1}, {"text", text}}}});
    }
    void change(int line, int from, int to, const std::string& text) {
        notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                                          {"contentChanges",
                                           {{{"range",
                                              {{"start", {{"line", line}, {"character", from}}},
                                               {"end", {{"line", line}, {"character", to}}}}},
                                             {"text", text}}}}});
    }
    json diagnostics() const {
        for (const json& message : m_out)
            if (message.value("method", "") == "textDocument/publishDiagnostics")
                return message["params"]["diagnostics"];
        return nullptr;
    }
    static std::string range(const json& r) {
        return std::to_string(r["start"]["line"].get<int>()) + ":" +
               std::to_string(r["start"]["character"].get<int>()) + "-" +
               std::to_string(r["end"]["line"].get<int>()) + ":" +
               std::to_string(r["end"]["character"].get<int>());
    }

    std::vector<json> m_out;
    int m_id = 0;
    lsp_server server{[this](const std::string& text) { m_out.push_back(json::parse(text)); }};
};

TEST(LspDocumentTest, Utf16PositionsAndEdits) {
    lsp_document document("a\xc3\xbc\xf0\x9f\x98\x80"
                          "b\r\nx\ry\n\xff");
    const struct {
        lsp_position position;
        size_t offset;
    } rows[] = {{{0, 2}, 3},  {{0, 3}, 3},  {{0, 4}, 7},  {{0, 99}, 8}, {{1, 1}, 11},
                {{2, 0}, 12}, {{3, 1}, 15}, {{9, 0}, 15}, {{-1, 5}, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(document.offsetOf(row.position), row.offset)
            << row.position.line << ":" << row.position.character;
    EXPECT_EQ(document.positionOf(7).character, 4);
    EXPECT_EQ(document.lineCount(), 4u);
    EXPECT_TRUE(document.replace({0, 4}, {1, 0}, "-"));
    EXPECT_EQ(document.lineText(0), "a\xc3\xbc\xf0\x9f\x98\x80-x");
    EXPECT_FALSE(document.replace({1, 0}, {0, 0}, "lost"));
    EXPECT_EQ(document.lineCount(), 3u);
}

TEST(LspFramingTest, SplitsFramesAndSkipsBadHeaders) {
    lsp_framer framer;
    std::vector<std::string> bodies, problems;
    const std::string input = "Content-Length: x\r\n\r\n" + lsp_framer::frame("{\"a\":1}") +
                              "content-length:  2\r\nContent-Type: utf-8\r\n\r\n[]";
    for (const char c : input)
        framer.feed(
            std::string_view(&c, 1), [&](std::string_view body) { bodies.emplace_back(body); },
            [&](const std::string& problem) { problems.push_back(problem); });
    EXPECT_EQ(bodies, (std::vector<std::string>{"{\"a\":1}", "[]"}));
    EXPECT_EQ(problems.size(), 1u);
    EXPECT_EQ(framer.pending(), 0u);
}

TEST_F(Session, DiagnosticsFollowTheText) {
    std::string text = kSource;
    text.replace(text.find("wait"), 4, "wiat");
    open(text);
    ASSERT_EQ(diagnostics().size(), 1u);
    EXPECT_EQ(range(diagnostics()[0]["range"]), "2:8-2:12");
    EXPECT_EQ(diagnostics()[0]["message"], "Syntax error: instruction 'wiat' not found");
    change(2, 8, 12, "wait");
    EXPECT_EQ(diagnostics(), json::array());
    // The marker of what follows a statement counts UTF-16 code units: the emoji is two.
    change(5, 12, 12, " \xc3\xbc\xf0\x9f\x98\x80 x");
    ASSERT_EQ(diagnostics().size(), 1u);
    EXPECT_EQ(range(diagnostics()[0]["range"]), "5:13-5:18");
}

TEST_F(Session, NavigationAndRename) {
    open(kSource);
    EXPECT_EQ(at("textDocument/hover", 3, 20)["contents"]["value"],
              "label `again`: address 1 = 0x1");
    EXPECT_EQ(at("textDocument/hover", 2, 14)["contents"]["value"], "10 = 0xa");
    EXPECT_EQ(at("textDocument/hover", 1, 14)["contents"]["value"], "symbol `N` = `3` (3 = 0x3)");
    const std::string jge = at("textDocument/hover", 4, 9)["contents"]["value"];
    EXPECT_NE(
        jge.find("`jge R#,#,#`: select 1; 1 classical tick, 4 when it jumps\n- `alu_lft_reg`: "
                 "register R0..R63\n- `alu_rgt_imm`: immediate 0..4294967295"),
        std::string::npos)
        << jge;
    EXPECT_EQ(at("textDocument/hover", 40, 0), nullptr);

    EXPECT_EQ(range(at("textDocument/definition", 3, 21)["range"]), "2:0-2:5");
    const json refs =
        at("textDocument/references", 2, 2, {{"context", {{"includeDeclaration", true}}}});
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_EQ(range(refs[1]["range"]), "3:18-3:23");

    const json renamed = at("textDocument/rename", 3, 21, {{"newName", "back"}});
    EXPECT_EQ(renamed["changes"][kUri].size(), 3u);
    for (const char* refusedName : {"start", "1x", "a b"})
        EXPECT_EQ(request("textDocument/rename", {{"textDocument", {{"uri", kUri}}},
                                                  {"position", {{"line", 3}, {"character", 21}}},
                                                  {"newName", refusedName}})["error"]["code"],
                  -32803)
            << refusedName;
}

TEST_F(Session, CompletionFormattingAndTokens) {
    open(kSource);
    const json labels = at("textDocument/completion", 3, 19)["items"];
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]["textEdit"]["newText"], "@again");
    const json commands = at("textDocument/completion", 5, 8)["items"];
    EXPECT_TRUE(std::any_of(commands.begin(), commands.end(), [](const json& item) {
        return item["label"] == "play" && item["detail"] == "#,#,#";
    }));
    const json help = at("textDocument/signatureHelp", 4, 17);
    EXPECT_EQ(help["activeParameter"], 1);

    const json edits = request("textDocument/formatting", {{"textDocument", {{"uri", kUri}}},
                                                           {"options", json::object()}})["result"];
    ASSERT_EQ(edits.size(), 5u);
    EXPECT_EQ(edits[0]["newText"], ".DEF    N           3");
    EXPECT_EQ(edits[1]["newText"],
              "start:  move        $N, R1              # z\xc3\xa4hler \xf0\x9f\x98\x80");
    EXPECT_EQ(edits[4]["newText"], "        jge         R1, 5, @again");

    const json data = request("textDocument/semanticTokens/full",
                              {{"textDocument", {{"uri", kUri}}}})["result"]["data"];
    // .DEF, N (declared), 3; then the line of move: start (declared), move, $N, R1, comment.
    const std::vector<int> expected = {0, 0, 4, 5, 0, 0, 5, 1, 4, 1, 0, 2, 1, 2, 0, 1, 0, 5,  3, 1,
                                       0, 8, 4, 0, 0, 0, 5, 2, 4, 0, 0, 4, 2, 1, 0, 0, 5, 11, 6, 0};
    ASSERT_GE(data.size(), expected.size());
    EXPECT_EQ(std::vector<int>(data.begin(), data.begin() + expected.size()), expected);
}

TEST_F(Session, InlayHintsFromTheSimulator) {
    open(kSource);
    const json params = {{"textDocument", {{"uri", kUri}}}};
    json hints = request("textDocument/inlayHint", params)["result"];
    // A taken loop costs 4 ticks, the others 1; each wait 10 real-time cycles. The jge reads
    // R1 as it was before the loop's write a tick earlier: 1, below 5.
    const std::vector<std::string> expected = {"1x, first at tick 0 / 0 ns, 0 ns real time",
                                               "3x, first at tick 1 / 0 ns, 30 ns real time",
                                               "3x, first at tick 2 / 10 ns, 0 ns real time",
                                               "1x, first at tick 13 / 30 ns, 0 ns real time",
                                               "1x, first at tick 14 / 30 ns, 0 ns real time"};
    ASSERT_EQ(hints.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(hints[i]["label"], expected[i]) << i;
    EXPECT_EQ(hints[1]["position"]["line"], 2);

    notify("workspace/didChangeConfiguration",
           {{"settings", {{"vexa", {{"instructionBudget", 5}}}}}});
    hints = request("textDocument/inlayHint", params)["result"];
    ASSERT_EQ(hints.size(), 6u);
    EXPECT_EQ(hints[5]["position"]["line"], 3);
    EXPECT_EQ(hints[5]["label"],
              "run stopped here: Maximum number of instructions reached (5). Could the program be "
              "running an infinite loop?");
    change(5, 8, 12, "stpo");
    EXPECT_EQ(request("textDocument/inlayHint", params)["result"], json::array());
}

TEST_F(Session, BadInputIsAnswered) {
    open(kSource);
    const struct {
        std::string message;
        int code;
    } rows[] = {
        {"{\"jsonrpc\":", -32700},
        {"[1]", -32600},
        {R"({"jsonrpc":"2.0","id":7,"method":"no/such"})", -32601},
        {R"({"jsonrpc":"2.0","id":7,"method":"textDocument/hover","params":{"textDocument":1}})",
         -32602},
        {R"({"jsonrpc":"2.0","id":7,"method":"textDocument/hover","params":{"textDocument":)"
         R"({"uri":"file:///p.s"},"position":{"line":"1","character":0}}})",
         -32602},
        {R"({"jsonrpc":"2.0","id":{},"method":"shutdown"})", -32600},
    };
    for (const auto& row : rows) {
        m_out.clear();
        server.handle(row.message);
        ASSERT_EQ(m_out.size(), 1u) << row.message;
        EXPECT_EQ(m_out[0]["error"]["code"], row.code) << row.message;
    }
    // An edit whose range runs backwards leaves the document as it was.
    notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 3}}},
                                      {"contentChanges",
                                       {{{"range",
                                          {{"start", {{"line", 2}, {"character", 0}}},
                                           {"end", {{"line", 1}, {"character", 0}}}}},
                                         {"text", "x"}}}}});
    EXPECT_EQ(server.analysis(kUri)->errors().size(), 0u);
    notify("$/cancelRequest", {{"id", 1}});
    EXPECT_TRUE(m_out.empty());
    EXPECT_EQ(request("shutdown", nullptr)["result"], nullptr);
    EXPECT_EQ(request("textDocument/hover", nullptr)["error"]["code"], -32600);
    notify("exit", nullptr);
    EXPECT_TRUE(server.exitRequested());
    EXPECT_EQ(server.exitCode(), 0);
}

// The built server over pipes: framed answers, and the exit status with and without shutdown.
TEST(LspProcessTest, FramedSessionOverPipes) {
    const struct {
        bool shutdown;
        int status;
    } rows[] = {{true, 0}, {false, 1}};
    for (const auto& row : rows) {
        const std::string input = testing::TempDir() + "lsp_input";
        const std::string output = testing::TempDir() + "lsp_output";
        FILE* file = std::fopen(input.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::string frames = lsp_framer::frame(
            R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
        if (row.shutdown)
            frames += lsp_framer::frame(R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})");
        frames += lsp_framer::frame(R"({"jsonrpc":"2.0","method":"exit"})");
        std::fwrite(frames.data(), 1, frames.size(), file);
        std::fclose(file);
        const int status =
            std::system((std::string(VEXA_LSP_PATH) + " < " + input + " > " + output).c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), row.status);
        std::vector<std::string> bodies;
        lsp_framer framer;
        file = std::fopen(output.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            framer.feed(
                std::string_view(buffer, n), [&](std::string_view b) { bodies.emplace_back(b); },
                [](const std::string&) {});
        std::fclose(file);
        ASSERT_EQ(bodies.size(), row.shutdown ? 2u : 1u);
        EXPECT_EQ(json::parse(bodies[0])["result"]["serverInfo"]["name"], "vexa-lsp");
    }
}

} // namespace
