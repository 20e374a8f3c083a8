// Fuzzes the language server with framed message sequences: after a fixed initialize, the
// input is fed to the framer in pieces whose sizes the input's first bytes choose, and every
// complete message goes to the server. The server must answer and never crash, whatever the
// headers, JSON, methods, parameters and document edits are.
#include "FuzzCommon.h"
#include "lsp/lsp_framing.h"
#include "lsp/lsp_server.h"

#include <string>

namespace {
// Runs stay short even when a message raises the budget.
constexpr int kMaxBudget = 20000;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    FuzzInput input(data, size);
    const unsigned piece = input.take<uint8_t>() % 64 + 1;
    const std::string bytes = input.rest();

    size_t sent = 0;
    lsp_server server([&sent](const std::string& message) { sent += message.size(); }, kMaxBudget);
    server.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{)"
                  R"("textDocument":{"completion":{"completionItem":{"snippetSupport":true}}}}}})");
    lsp_framer framer;
    const auto onMessage = [&server](std::string_view body) {
        if (!server.exitRequested())
            server.handle(body);
    };
    const auto onError = [](const std::string&) {};
    for (size_t at = 0; at < bytes.size(); at += piece)
        framer.feed(std::string_view(bytes).substr(at, piece), onMessage, onError);
    return 0;
}
