#ifndef LSP_LSP_SERVER_H
#define LSP_LSP_SERVER_H

// The language server for Vexa assembly: handles one JSON-RPC message at a time and hands
// every answer and notification, as a JSON text, to the sender it was made with. Framing is
// the caller's (see lsp_framing.h), so tests and the fuzzer drive it without a process.
// Every feature is computed from the assembler's run over the document (lsp_analysis), the
// instruction set (lsp_language) and the simulator (lsp_timing, on a worker thread).

#include "lsp/lsp_analysis.h"
#include "lsp/lsp_document.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

class lsp_language;
class lsp_timing;
class seq;

class lsp_server {
public:
    using send_t = std::function<void(const std::string& message)>;

    // `send` may be called from the simulation worker too (a refresh request). The instruction
    // budget a client may set is capped at `maxBudget`.
    explicit lsp_server(send_t send, int maxBudget = INT_MAX);
    ~lsp_server();
    lsp_server(const lsp_server&) = delete;
    lsp_server& operator=(const lsp_server&) = delete;

    void handle(std::string_view message);

    // After the exit notification: the process ends with exitCode().
    bool exitRequested() const { return m_exitRequested; }
    // 0 when shutdown came before exit (or before the end of the input), else 1.
    int exitCode() const { return m_shutdown ? 0 : 1; }

    // The analysis of an open document, or null.
    const lsp_analysis* analysis(const std::string& uri) const;

private:
    struct document_state {
        lsp_document document;
        lsp_analysis analysis;
        int64_t version = 0;
        uint64_t generation = 0;
    };
    struct settings_t {
        int instructionBudget = 1000000;
        bool inlayHints = true;
    };
    class request;

    void dispatch(const std::string& method, request& r);
    void send(const std::string& text);
    void respond(const request& r, const std::string& resultJson);
    void respondError(const request& r, int code, const std::string& message);

    void initialize(request& r);
    void didOpen(request& r);
    void didChange(request& r);
    void didClose(request& r);
    void didChangeConfiguration(request& r);
    void hover(request& r);
    void definition(request& r);
    void references(request& r);
    void prepareRename(request& r);
    void rename(request& r);
    void completion(request& r);
    void signatureHelp(request& r);
    void documentSymbol(request& r);
    void semanticTokens(request& r);
    void foldingRange(request& r);
    void formatting(request& r);
    void inlayHint(request& r);

    document_state& documentOf(request& r);
    void analyse(const std::string& uri, document_state& state);
    void applySettings(const void* jsonSettings);
    void simulationDone(const std::string& uri, uint64_t generation);

    send_t m_send;
    std::mutex m_sendMutex;
    std::unique_ptr<seq> m_driver;
    std::unique_ptr<seq> m_checkDriver; // formatting's check assembly
    std::unique_ptr<const lsp_language> m_language;
    std::map<std::string, document_state> m_documents;
    settings_t m_settings;
    int m_maxBudget = INT_MAX;
    uint64_t m_generation = 0;
    bool m_initialized = false;
    bool m_shutdown = false;
    bool m_exitRequested = false;
    bool m_snippets = false;
    bool m_refreshSupport = false;
    std::mutex m_refreshMutex;
    std::set<std::string> m_refreshWanted; // answered without hints while the run was going
    uint64_t m_refreshCount = 0;
    std::unique_ptr<lsp_timing> m_timing; // last: its worker calls back into the rest
};

#endif
