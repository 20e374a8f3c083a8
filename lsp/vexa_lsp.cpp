// vexa-lsp: the language server for Vexa assembly over standard input and output. Reads
// framed messages, hands each to the server and writes its answers framed; ends after the
// exit notification (status 0 when shutdown came first, else 1) or at the end of the input.
#include "base/Logging.h"
#include "lsp/lsp_framing.h"
#include "lsp/lsp_server.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

void writeAll(const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the client is gone; the end of the input follows
        written += static_cast<size_t>(n);
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            writeAll("usage: vexa-lsp [--stdio]\nThe language server for Vexa assembly: speaks "
                     "the Language Server Protocol on standard input and output.\n");
            return 0;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    // Log lines would only disturb the protocol's streams.
    Logging::open("vexa-lsp", Logging::quietLevel, nullptr);
    Logging::setLogLevel(Logging::quietLevel);

    std::mutex outputMutex;
    const auto output = [&outputMutex](const std::string& message) {
        const std::string framed = lsp_framer::frame(message);
        const std::lock_guard lock(outputMutex);
        writeAll(framed);
    };
    lsp_server server(output);
    lsp_framer framer;
    std::string buffer(size_t{1} << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        framer.feed(
            std::string_view(buffer.data(), static_cast<size_t>(n)),
            [&](std::string_view body) {
                if (!server.exitRequested())
                    server.handle(body);
            },
            [&](const std::string& problem) {
                output(
                    R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: )" +
                    problem + "\"}}");
            });
        if (server.exitRequested())
            break;
    }
    return server.exitCode();
}
