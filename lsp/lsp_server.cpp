#include "lsp/lsp_server.h"

#include "assembler/seq.h"
#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "base/utils/stringUtils.h"
#include "lsp/lsp_language.h"
#include "lsp/lsp_timing.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmParser.h"
#include "sequencer/asmparser/AsmSyntax.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <sstream>
#include <stdexcept>

using json = nlohmann::json;

namespace {

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;

// Diagnostics published for one document at most; a note in the last says how many more.
constexpr size_t kMaxDiagnostics = 1000;

// Semantic token types, in the order of lsp_token_kind up to the comment.
const char* const kTokenTypes[] = {"keyword", "variable",  "number", "function",
                                   "macro",   "decorator", "comment"};

// Parameters that do not have the shape the method needs.
struct bad_params : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A request the server refuses with a message, such as a rename to a taken name.
struct refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string dump(const json& value) {
    // Source text that is no valid UTF-8 must not stop the answer.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

const json& member(const json& object, const char* key) {
    if (!object.is_object())
        throw bad_params(std::string("expected an object holding '") + key + "'");
    const auto found = object.find(key);
    if (found == object.end())
        throw bad_params(std::string("missing '") + key + "'");
    return *found;
}

std::string stringOf(const json& value, const char* what) {
    if (!value.is_string())
        throw bad_params(std::string("'") + what + "' must be a string");
    return value.get<std::string>();
}

int64_t integerOf(const json& value, const char* what) {
    if (value.is_number_integer())
        return value.get<int64_t>();
    if (value.is_number_unsigned())
        return INT64_MAX;
    throw bad_params(std::string("'") + what + "' must be an integer");
}

lsp_position positionOf(const json& value) {
    return {integerOf(member(value, "line"), "line"),
            integerOf(member(value, "character"), "character")};
}

json toJson(const lsp_position& p) {
    return {{"line", p.line}, {"character", p.character}};
}

json rangeOf(const lsp_document& document, size_t begin, size_t end) {
    return {{"start", toJson(document.positionOf(begin))},
            {"end", toJson(document.positionOf(end))}};
}

std::string hexOf(int64_t value) {
    std::ostringstream out;
    if (value < 0)
        out << "-0x" << std::hex << (0 - static_cast<uint64_t>(value));
    else
        out << "0x" << std::hex << value;
    return out.str();
}

std::string numberText(int64_t value) {
    return std::to_string(value) + " = " + hexOf(value);
}

const AsmSyntax& syntax() {
    static const AsmSyntax instance;
    return instance;
}

// Whether the assembler's own parser takes `name` as a label (or a symbol) in a definition and
// in a reference, and nothing else: a two-line probe.
bool isValidName(const std::string& name, bool label) {
    if (name.empty() || name.find_first_of("\r\n") != std::string::npos)
        return false;
    const std::string text =
        label ? name + ": nop\n jmp @" + name : ".DEF " + name + " 1\n nop $" + name;
    AsmParser parser;
    parser.config().keepAllDirectives = true;
    AsmErrorList errors;
    StringSourceReader reader(text);
    parser.parse(reader, errors);
    if (!errors.empty() || parser.statements().size() != 2)
        return false;
    const auto& first = *parser.statements().begin();
    const auto& second = *(parser.statements().begin() + 1);
    const AsmInstruction* use = second->asInstruction();
    if (use == nullptr || use->numArgs() != 1)
        return false;
    const auto arg = use->getArg(0);
    if (label) {
        const AsmInstruction* definition = first->asInstruction();
        return definition != nullptr && definition->addressLabel() == name &&
               arg->addressLabel() == name;
    }
    const auto* directive = dynamic_cast<const AsmDirective*>(first.get());
    return directive != nullptr && directive->name() == name && arg->symbolName() == name;
}

std::string directiveHover(const std::string& keyword) {
    if (keyword == ".DEF")
        return "`.DEF NAME value`: defines the symbol NAME; `$NAME` stands for the value's text "
               "on later lines.";
    if (keyword == ".SIM")
        return "`.SIM`: the lines after it belong to the simulator section, not to the program.";
    if (keyword == ".CODE")
        return "`.CODE`: the lines after it are assembled (the section every source starts in).";
    return "`" + keyword + "`: accepted anywhere and ignored.";
}

} // namespace

// One incoming message: its id (when it is a request) and parameters.
class lsp_server::request {
public:
    json id;
    bool isRequest = false;
    json params;
    bool answered = false;
};

lsp_server::lsp_server(send_t send, int maxBudget)
    : m_send(std::move(send)), m_driver(std::make_unique<seq>()),
      m_checkDriver(std::make_unique<seq>()), m_language(std::make_unique<lsp_language>()),
      m_maxBudget(std::max(1, maxBudget)) {
    m_settings.instructionBudget = std::min(m_settings.instructionBudget, m_maxBudget);
    for (seq* driver : {m_driver.get(), m_checkDriver.get()}) {
        // Comments, comment lines and directives are kept for the tokens and the layout.
        auto& config = driver->assembler()->config();
        config.keepComments = true;
        config.keepCommentLines = true;
        config.keepAllDirectives = true;
    }
    m_timing = std::make_unique<lsp_timing>(
        [this](const std::string& uri, uint64_t generation) { simulationDone(uri, generation); });
}

lsp_server::~lsp_server() {
    m_timing.reset(); // joins the worker before the rest goes
}

const lsp_analysis* lsp_server::analysis(const std::string& uri) const {
    const auto found = m_documents.find(uri);
    return found == m_documents.end() ? nullptr : &found->second.analysis;
}

void lsp_server::send(const std::string& text) {
    const std::lock_guard lock(m_sendMutex);
    if (m_send)
        m_send(text);
}

void lsp_server::respond(const request& r, const std::string& resultJson) {
    send("{\"jsonrpc\":\"2.0\",\"id\":" + dump(r.id) + ",\"result\":" + resultJson + "}");
}

void lsp_server::respondError(const request& r, int code, const std::string& message) {
    json error = {
        {"jsonrpc", "2.0"}, {"id", r.id}, {"error", {{"code", code}, {"message", message}}}};
    send(dump(error));
}

void lsp_server::handle(std::string_view message) {
    request r;
    json parsed = json::parse(message, nullptr, false);
    if (parsed.is_discarded()) {
        respondError(r, kParseError, "Parse error: the message is no JSON");
        return;
    }
    if (!parsed.is_object()) {
        respondError(r, kInvalidRequest, "Invalid request: the message is no object");
        return;
    }
    const auto id = parsed.find("id");
    if (id != parsed.end()) {
        if (!id->is_number_integer() && !id->is_number_unsigned() && !id->is_string()) {
            respondError(r, kInvalidRequest, "Invalid request: the id is no number or string");
            return;
        }
        r.id = *id;
        r.isRequest = true;
    }
    const auto method = parsed.find("method");
    if (method == parsed.end() || !method->is_string()) {
        // A response to a request of the server's (a refresh) needs no answer.
        if (r.isRequest && (parsed.contains("result") || parsed.contains("error")))
            return;
        respondError(r, kInvalidRequest, "Invalid request: no method");
        return;
    }
    const auto params = parsed.find("params");
    if (params != parsed.end())
        r.params = std::move(*params);
    const std::string name = method->get<std::string>();
    try {
        dispatch(name, r);
    } catch (const bad_params& e) {
        if (r.isRequest)
            respondError(r, kInvalidParams, std::string("Invalid params: ") + e.what());
        return;
    } catch (const refused& e) {
        if (r.isRequest)
            respondError(r, kRequestFailed, e.what());
        return;
    } catch (const std::exception& e) {
        if (r.isRequest)
            respondError(r, kInternalError, std::string("Internal error: ") + e.what());
        return;
    }
    if (r.isRequest && !r.answered)
        respond(r, "null");
}

void lsp_server::dispatch(const std::string& method, request& r) {
    if (method == "exit") {
        m_exitRequested = true;
        return;
    }
    if (!m_initialized && method != "initialize") {
        if (r.isRequest) {
            respondError(r, kServerNotInitialized, "The server is not initialized");
            r.answered = true;
        }
        return;
    }
    if (m_shutdown) {
        if (r.isRequest) {
            respondError(r, kInvalidRequest, "The server is shut down");
            r.answered = true;
        }
        return;
    }
    using handler_t = void (lsp_server::*)(request&);
    static const std::map<std::string, handler_t, std::less<>> handlers = {
        {"initialize", &lsp_server::initialize},
        {"textDocument/didOpen", &lsp_server::didOpen},
        {"textDocument/didChange", &lsp_server::didChange},
        {"textDocument/didClose", &lsp_server::didClose},
        {"workspace/didChangeConfiguration", &lsp_server::didChangeConfiguration},
        {"textDocument/hover", &lsp_server::hover},
        {"textDocument/definition", &lsp_server::definition},
        {"textDocument/references", &lsp_server::references},
        {"textDocument/prepareRename", &lsp_server::prepareRename},
        {"textDocument/rename", &lsp_server::rename},
        {"textDocument/completion", &lsp_server::completion},
        {"textDocument/signatureHelp", &lsp_server::signatureHelp},
        {"textDocument/documentSymbol", &lsp_server::documentSymbol},
        {"textDocument/semanticTokens/full", &lsp_server::semanticTokens},
        {"textDocument/foldingRange", &lsp_server::foldingRange},
        {"textDocument/formatting", &lsp_server::formatting},
        {"textDocument/inlayHint", &lsp_server::inlayHint},
    };
    if (method == "shutdown") {
        m_shutdown = true;
        return; // answered with null
    }
    const auto found = handlers.find(method);
    if (found != handlers.end()) {
        (this->*found->second)(r);
        return;
    }
    // Notifications nobody handles ($/cancelRequest, initialized, didSave, ...) are dropped:
    // every request is answered at once, so there is nothing left to cancel.
    if (r.isRequest) {
        respondError(r, kMethodNotFound, "Method not found: " + method);
        r.answered = true;
    }
}

void lsp_server::initialize(request& r) {
    if (m_initialized) {
        respondError(r, kInvalidRequest, "The server is already initialized");
        r.answered = true;
        return;
    }
    if (!r.params.is_object())
        throw bad_params("initialize needs an object");
    const json capabilities = r.params.value("capabilities", json::object());
    if (capabilities.is_object()) {
        const json snippet = capabilities.value(
            json::json_pointer("/textDocument/completion/completionItem/snippetSupport"), json());
        m_snippets = snippet.is_boolean() && snippet.get<bool>();
        const json refresh =
            capabilities.value(json::json_pointer("/workspace/inlayHint/refreshSupport"), json());
        m_refreshSupport = refresh.is_boolean() && refresh.get<bool>();
    }
    const auto options = r.params.find("initializationOptions");
    if (options != r.params.end())
        applySettings(&*options);
    m_initialized = true;

    json legend = {{"tokenTypes", json::array()}, {"tokenModifiers", {"declaration"}}};
    for (const char* type : kTokenTypes)
        legend["tokenTypes"].push_back(type);
    const json result = {{"capabilities",
                          {{"positionEncoding", "utf-16"},
                           {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
                           {"hoverProvider", true},
                           {"definitionProvider", true},
                           {"referencesProvider", true},
                           {"renameProvider", {{"prepareProvider", true}}},
                           {"completionProvider", {{"triggerCharacters", {"@", "$", "."}}}},
                           {"signatureHelpProvider", {{"triggerCharacters", {" ", ","}}}},
                           {"documentSymbolProvider", true},
                           {"semanticTokensProvider", {{"legend", legend}, {"full", true}}},
                           {"foldingRangeProvider", true},
                           {"documentFormattingProvider", true},
                           {"inlayHintProvider", true}}},
                         {"serverInfo", {{"name", "vexa-lsp"}, {"version", "0.1.0"}}}};
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::applySettings(const void* jsonSettings) {
    const json& value = *static_cast<const json*>(jsonSettings);
    if (!value.is_object())
        return;
    // Accepted both as {"instructionBudget": N} and as {"vexa": {"instructionBudget": N}}.
    const json& settings = value.contains("vexa") ? value["vexa"] : value;
    if (!settings.is_object())
        return;
    const auto budget = settings.find("instructionBudget");
    if (budget != settings.end() && budget->is_number()) {
        const double wanted = budget->get<double>();
        m_settings.instructionBudget = wanted < 1         ? 1
                                       : wanted > INT_MAX ? INT_MAX
                                                          : static_cast<int>(wanted);
    }
    const auto hints = settings.find("inlayHints");
    if (hints != settings.end() && hints->is_boolean())
        m_settings.inlayHints = hints->get<bool>();
}

void lsp_server::didChangeConfiguration(request& r) {
    if (!r.params.is_object())
        return;
    const auto settings = r.params.find("settings");
    if (settings == r.params.end())
        return;
    applySettings(&*settings);
    for (auto& [uri, state] : m_documents)
        analyse(uri, state);
}

lsp_server::document_state& lsp_server::documentOf(request& r) {
    const std::string uri = stringOf(member(member(r.params, "textDocument"), "uri"), "uri");
    const auto found = m_documents.find(uri);
    if (found == m_documents.end())
        throw bad_params("the document " + uri + " is not open");
    return found->second;
}

void lsp_server::analyse(const std::string& uri, document_state& state) {
    state.generation = ++m_generation;
    state.analysis.run(*m_driver, state.document.shared());
    const lsp_document& document = state.document;
    const auto& errors = state.analysis.errors();
    json diagnostics = json::array();
    for (size_t i = 0; i < errors.size() && i < kMaxDiagnostics; ++i) {
        const lsp_error& error = errors[i];
        std::string message = error.message;
        if (i + 1 == kMaxDiagnostics && errors.size() > kMaxDiagnostics)
            message += " (and " + std::to_string(errors.size() - kMaxDiagnostics) + " more errors)";
        diagnostics.push_back({{"range", rangeOf(document, error.span.begin, error.span.end)},
                               {"severity", 1},
                               {"source", "vexasm"},
                               {"message", message}});
    }
    json notification = {{"jsonrpc", "2.0"},
                         {"method", "textDocument/publishDiagnostics"},
                         {"params", {{"uri", uri}, {"diagnostics", diagnostics}}}};
    notification["params"]["version"] = state.version;
    send(dump(notification));
    if (state.analysis.assembled() && m_settings.inlayHints)
        m_timing->submit(uri, state.generation, state.analysis.words(),
                         m_settings.instructionBudget);
    else
        m_timing->drop(uri);
}

void lsp_server::didOpen(request& r) {
    const json& item = member(r.params, "textDocument");
    const std::string uri = stringOf(member(item, "uri"), "uri");
    document_state& state = m_documents[uri];
    state.document.setText(stringOf(member(item, "text"), "text"));
    const auto version = item.find("version");
    state.version =
        version != item.end() && version->is_number_integer() ? version->get<int64_t>() : 0;
    analyse(uri, state);
}

void lsp_server::didChange(request& r) {
    document_state& state = documentOf(r);
    const json& changes = member(r.params, "contentChanges");
    if (!changes.is_array())
        throw bad_params("'contentChanges' must be an array");
    // All or nothing: a change that does not apply leaves the document as it was.
    lsp_document changed = state.document;
    for (const json& change : changes) {
        const std::string text = stringOf(member(change, "text"), "text");
        const auto range = change.is_object() ? change.find("range") : change.end();
        if (range == change.end()) {
            changed.setText(text);
            continue;
        }
        if (!changed.replace(positionOf(member(*range, "start")), positionOf(member(*range, "end")),
                             text)) {
            json message = {{"jsonrpc", "2.0"},
                            {"method", "window/logMessage"},
                            {"params",
                             {{"type", 2},
                              {"message", "vexa-lsp: a change whose range ends before it "
                                          "starts was ignored"}}}};
            send(dump(message));
            return;
        }
    }
    state.document = std::move(changed);
    const auto version = member(r.params, "textDocument").find("version");
    if (version != member(r.params, "textDocument").end() && version->is_number_integer())
        state.version = version->get<int64_t>();
    analyse(stringOf(member(member(r.params, "textDocument"), "uri"), "uri"), state);
}

void lsp_server::didClose(request& r) {
    const std::string uri = stringOf(member(member(r.params, "textDocument"), "uri"), "uri");
    m_timing->drop(uri);
    m_documents.erase(uri);
    json notification = {{"jsonrpc", "2.0"},
                         {"method", "textDocument/publishDiagnostics"},
                         {"params", {{"uri", uri}, {"diagnostics", json::array()}}}};
    send(dump(notification));
}

void lsp_server::hover(request& r) {
    const document_state& state = documentOf(r);
    const size_t offset = state.document.offsetOf(positionOf(member(r.params, "position")));
    const lsp_token* token = state.analysis.tokenAt(offset);
    if (token == nullptr)
        return;
    const lsp_analysis& a = state.analysis;
    std::string text;
    switch (token->kind) {
    case lsp_token_kind::mnemonic:
        if (const auto* family = m_language->find(token->name))
            text = m_language->hover(*family);
        break;
    case lsp_token_kind::label: {
        const auto found = a.labels().find(token->name);
        text = "label `" + token->name + "`: ";
        if (found != a.labels().end() && found->second.defined && found->second.address >= 0)
            text += "address " + numberText(found->second.address);
        else
            text += found != a.labels().end() && found->second.defined ? "no address (the program "
                                                                         "does not assemble)"
                                                                       : "not defined";
        break;
    }
    case lsp_token_kind::symbol: {
        const auto found = a.symbols().find(token->name);
        if (found == a.symbols().end() || !found->second.defined) {
            text = "symbol `" + token->name + "`: not defined";
            break;
        }
        text = "symbol `" + token->name + "` = `" + found->second.value + "`";
        int64_t value = 0;
        try {
            stringToInt(value, found->second.value);
            text += " (" + numberText(value) + ")";
        } catch (const std::exception&) {
        }
        break;
    }
    case lsp_token_kind::number:
        text = numberText(token->value);
        break;
    case lsp_token_kind::reg:
        text = "register " + state.document.text().substr(token->begin, token->end - token->begin);
        break;
    case lsp_token_kind::directive:
        text = directiveHover(token->name);
        break;
    default:
        return;
    }
    if (text.empty())
        return;
    const json result = {{"contents", {{"kind", "markdown"}, {"value", text}}},
                         {"range", rangeOf(state.document, token->begin, token->end)}};
    respond(r, dump(result));
    r.answered = true;
}

namespace {

// The label or symbol at the request's position with its entry, or nulls.
std::pair<const lsp_token*, const lsp_name*> nameAt(const lsp_document& document,
                                                    const lsp_analysis& a, const json& params) {
    const lsp_token* token = a.tokenAt(document.offsetOf(positionOf(member(params, "position"))));
    if (token == nullptr ||
        (token->kind != lsp_token_kind::label && token->kind != lsp_token_kind::symbol))
        return {nullptr, nullptr};
    const auto& names = token->kind == lsp_token_kind::label ? a.labels() : a.symbols();
    const auto found = names.find(token->name);
    return {token, found == names.end() ? nullptr : &found->second};
}

} // namespace

void lsp_server::definition(request& r) {
    const document_state& state = documentOf(r);
    const auto [token, entry] = nameAt(state.document, state.analysis, r.params);
    if (entry == nullptr || !entry->defined)
        return;
    const json result = {
        {"uri", member(member(r.params, "textDocument"), "uri")},
        {"range", rangeOf(state.document, entry->definition.begin, entry->definition.end)}};
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::references(request& r) {
    const document_state& state = documentOf(r);
    const auto [token, entry] = nameAt(state.document, state.analysis, r.params);
    if (entry == nullptr)
        return;
    bool declaration = true;
    if (r.params.contains("context") && r.params["context"].is_object()) {
        const json flag = r.params["context"].value("includeDeclaration", json(true));
        declaration = !flag.is_boolean() || flag.get<bool>();
    }
    const json& uri = member(member(r.params, "textDocument"), "uri");
    json result = json::array();
    if (declaration && entry->defined)
        result.push_back(
            {{"uri", uri},
             {"range", rangeOf(state.document, entry->definition.begin, entry->definition.end)}});
    for (const lsp_span& span : entry->references)
        result.push_back({{"uri", uri}, {"range", rangeOf(state.document, span.begin, span.end)}});
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::prepareRename(request& r) {
    const document_state& state = documentOf(r);
    const auto [token, entry] = nameAt(state.document, state.analysis, r.params);
    if (token == nullptr)
        return;
    const json result = {{"range", rangeOf(state.document, token->nameBegin(), token->end)},
                         {"placeholder", token->name}};
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::rename(request& r) {
    const document_state& state = documentOf(r);
    const auto [token, entry] = nameAt(state.document, state.analysis, r.params);
    const std::string newName = stringOf(member(r.params, "newName"), "newName");
    if (token == nullptr || entry == nullptr)
        throw refused("Only address labels and symbols can be renamed");
    const bool label = token->kind == lsp_token_kind::label;
    const char* kind = label ? "address label" : "symbol";
    if (!isValidName(newName, label))
        throw refused("'" + newName + "' is no valid " + kind + " name");
    const auto& names = label ? state.analysis.labels() : state.analysis.symbols();
    if (newName != token->name && names.count(newName) != 0)
        throw refused("'" + newName + "' is already taken by another " + std::string(kind));
    json edits = json::array();
    if (entry->defined)
        edits.push_back(
            {{"range", rangeOf(state.document, entry->definition.begin, entry->definition.end)},
             {"newText", newName}});
    for (const lsp_span& span : entry->references)
        edits.push_back(
            {{"range", rangeOf(state.document, span.begin, span.end)}, {"newText", newName}});
    const std::string uri = stringOf(member(member(r.params, "textDocument"), "uri"), "uri");
    json result = {{"changes", json::object()}};
    result["changes"][uri] = edits;
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::completion(request& r) {
    const document_state& state = documentOf(r);
    const lsp_document& document = state.document;
    const size_t offset = document.offsetOf(positionOf(member(r.params, "position")));
    const size_t lineStart = document.lineStart(document.lineOf(offset));
    const std::string_view before =
        std::string_view(document.text()).substr(lineStart, offset - lineStart);
    if (before.find(syntax().commentStart) != std::string_view::npos)
        return; // no completion inside a comment
    size_t word = before.size();
    while (word > 0 && syntax().identifierFilter(before[word - 1]))
        --word;
    const char prefix = word > 0 ? before[word - 1] : '\0';
    if (prefix == syntax().addressRefStart || prefix == syntax().symbolRefStart ||
        prefix == syntax().directiveStart)
        --word;
    // The word replaced by an item: from its start (with its prefix) to the cursor.
    const json range = rangeOf(document, lineStart + word, offset);
    std::string head(before.substr(0, word));
    while (!head.empty() && (head.back() == ' ' || head.back() == '\t'))
        head.pop_back();
    const bool commandPosition =
        head.find_first_not_of(" \t") == std::string::npos || head.back() == syntax().labelEnd;

    // Written as text: a few hundred items built as JSON objects cost a millisecond.
    const std::string rangeText = dump(range);
    std::string items;
    const auto add = [&](const std::string& label, int kind, const std::string& detail,
                         const std::string& newText, bool snippet) {
        items += items.empty() ? "{\"label\":" : ",{\"label\":";
        items += dump(json(label));
        items += ",\"kind\":" + std::to_string(kind) + ",\"detail\":";
        items += dump(json(detail));
        items += ",\"textEdit\":{\"range\":" + rangeText + ",\"newText\":";
        items += dump(json(newText));
        items += snippet ? "},\"insertTextFormat\":2}" : "}}";
    };
    const lsp_analysis& a = state.analysis;
    const auto addLabels = [&] {
        for (const auto& [name, entry] : a.labels())
            if (entry.defined)
                add("@" + name, 18,
                    entry.address >= 0 ? "address " + std::to_string(entry.address) : "label",
                    "@" + name, false);
    };
    const auto addSymbols = [&] {
        for (const auto& [name, entry] : a.symbols())
            if (entry.defined)
                add("$" + name, 21, entry.value, "$" + name, false);
    };
    if (prefix == syntax().addressRefStart) {
        addLabels();
    } else if (prefix == syntax().symbolRefStart) {
        addSymbols();
    } else if (prefix == syntax().directiveStart || commandPosition) {
        for (const std::string& directive : m_language->directives())
            add(directive, 14, "directive", directive, false);
        if (prefix != syntax().directiveStart) {
            for (const auto& family : m_language->families())
                for (const auto& v : family.variants) {
                    const bool snippet = m_snippets && !v.operands.empty();
                    add(family.mnemonic, 14, v.signature.empty() ? "no operands" : v.signature,
                        snippet ? lsp_language::snippet(family.mnemonic, v) : family.mnemonic,
                        snippet);
                }
        }
    } else {
        const std::string name(1, m_language->registerName());
        for (unsigned i = 0; i < m_language->numRegisters(); ++i)
            add(name + std::to_string(i), 6, "register", name + std::to_string(i), false);
        addLabels();
        addSymbols();
    }
    respond(r, "{\"isIncomplete\":false,\"items\":[" + items + "]}");
    r.answered = true;
}

void lsp_server::signatureHelp(request& r) {
    const document_state& state = documentOf(r);
    const lsp_document& document = state.document;
    const size_t offset = document.offsetOf(positionOf(member(r.params, "position")));
    const size_t lineStart = document.lineStart(document.lineOf(offset));
    const std::string before = document.text().substr(lineStart, offset - lineStart);
    if (before.find(syntax().commentStart) != std::string::npos)
        return;
    // The mnemonic is the first word, or the word after a label, as the parser cuts them.
    AsmToken token(std::make_shared<const SourceLine>(std::string_view(before)));
    syntax().filter2Token(token, syntax().tokenFilter);
    AsmToken after = token;
    after.next();
    if (after.front() == syntax().labelEnd) {
        after.setSpan(after.start() + 1, after.lineLength());
        token = after;
        syntax().filter2Token(token, syntax().tokenFilter);
        after = token;
        after.next();
    }
    const lsp_language::family* family = m_language->find(token.view());
    if (family == nullptr || token.finish() >= before.size())
        return; // still typing the mnemonic
    const std::string_view operands = std::string_view(before).substr(token.finish());
    const auto active =
        static_cast<size_t>(std::count(operands.begin(), operands.end(), syntax().argSep));
    json signatures = json::array();
    size_t activeSignature = 0;
    bool chosen = false;
    for (const auto& v : family->variants) {
        std::string label = family->mnemonic;
        json parameters = json::array();
        for (size_t i = 0; i < v.operands.size(); ++i) {
            label += i == 0 ? " " : ", ";
            const size_t start = label.size();
            label += v.operands[i].name;
            parameters.push_back(
                {{"label", {start, label.size()}}, {"documentation", v.operands[i].describe()}});
        }
        if (!chosen && v.operands.size() > active) {
            activeSignature = signatures.size();
            chosen = true;
        }
        signatures.push_back(
            {{"label", label},
             {"documentation", "signature " + v.signature + ", select " + std::to_string(v.select)},
             {"parameters", parameters}});
    }
    const json result = {{"signatures", signatures},
                         {"activeSignature", activeSignature},
                         {"activeParameter", active}};
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::documentSymbol(request& r) {
    const document_state& state = documentOf(r);
    const lsp_analysis& a = state.analysis;
    const lsp_document& document = state.document;
    json result = json::array();
    const auto symbol = [&](const std::string& name, int kind, const std::string& detail,
                            const json& range, const json& selection) {
        result.push_back({{"name", name},
                          {"kind", kind},
                          {"detail", detail},
                          {"range", range},
                          {"selectionRange", selection}});
    };
    for (const lsp_section& section : a.sections()) {
        const size_t begin = a.readerLineStart(section.line);
        symbol(section.directive, 3, "section",
               rangeOf(document, begin, a.readerLineEnd(section.endLine)),
               rangeOf(document, begin, a.readerLineEnd(section.line)));
    }
    for (const auto* names : {&a.labels(), &a.symbols()}) {
        const bool labels = names == &a.labels();
        for (const auto& [name, entry] : *names) {
            if (!entry.defined)
                continue;
            const json range = rangeOf(document, entry.definition.begin, entry.definition.end);
            symbol(name, labels ? 12 : 14,
                   labels
                       ? (entry.address >= 0 ? "address " + std::to_string(entry.address) : "label")
                       : entry.value,
                   range, range);
        }
    }
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::semanticTokens(request& r) {
    const document_state& state = documentOf(r);
    const lsp_document& document = state.document;
    json data = json::array();
    int64_t line = 0, character = 0;
    for (const lsp_token& token : state.analysis.tokens()) {
        if (token.kind == lsp_token_kind::text || token.end <= token.begin)
            continue;
        const lsp_position start = document.positionOf(token.begin);
        const size_t length = lsp_document::utf16Length(
            std::string_view(document.text()).substr(token.begin, token.end - token.begin));
        data.push_back(start.line - line);
        data.push_back(start.line == line ? start.character - character : start.character);
        data.push_back(length);
        data.push_back(static_cast<int>(token.kind));
        data.push_back(token.definition ? 1 : 0);
        line = start.line;
        character = start.character;
    }
    respond(r, dump(json{{"data", data}}));
    r.answered = true;
}

void lsp_server::foldingRange(request& r) {
    const document_state& state = documentOf(r);
    const lsp_analysis& a = state.analysis;
    const std::string simSection = m_driver->simulator()->asmSectionGetDirective();
    json result = json::array();
    for (const lsp_section& section : a.sections()) {
        if (section.directive != simSection)
            continue;
        const int64_t start = state.document.positionOf(a.readerLineStart(section.line)).line;
        const int64_t end = state.document.positionOf(a.readerLineEnd(section.endLine)).line;
        if (end > start)
            result.push_back({{"startLine", start}, {"endLine", end}, {"kind", "region"}});
    }
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::formatting(request& r) {
    const document_state& state = documentOf(r);
    const lsp_analysis& a = state.analysis;
    const std::string& text = state.document.text();
    const AsmParser::AsmFormat columns;
    const auto slice = [&](const lsp_token& t) { return text.substr(t.begin, t.end - t.begin); };
    const auto withoutBlanks = [](std::string_view s) {
        std::string out;
        for (const char c : s)
            if (c != ' ' && c != '\t')
                out.push_back(c);
        return out;
    };
    std::string formatted;
    formatted.reserve(text.size() + text.size() / 4);
    struct edit {
        size_t begin, end;
        std::string text;
    };
    std::vector<edit> edits;
    size_t copied = 0;
    for (size_t line = 0; line < a.readerLineCount(); ++line) {
        const auto [first, last] = a.tokensOfLine(line);
        const size_t begin = a.readerLineStart(line);
        const size_t end = a.readerLineEnd(line);
        std::string label, command, directive, name, value, comment;
        std::vector<std::string> args;
        for (size_t i = first; i < last; ++i) {
            const lsp_token& t = a.tokens()[i];
            if (t.kind == lsp_token_kind::comment)
                comment = slice(t);
            else if (t.kind == lsp_token_kind::mnemonic)
                command = slice(t);
            else if (t.kind == lsp_token_kind::directive)
                directive = slice(t);
            else if (t.argument)
                args.push_back(slice(t));
            else if (t.definition && t.kind == lsp_token_kind::label)
                label = slice(t);
            else if (t.definition && t.kind == lsp_token_kind::symbol)
                name = slice(t);
            else
                value = slice(t);
        }
        if (command.empty() && directive.empty() && label.empty())
            continue; // blank, a comment alone, or not parsed: left as it is
        std::ostringstream out;
        int column = 0;
        const auto put = [&](int target, const std::string& piece) {
            if (piece.empty())
                return;
            if (column > 0 || target > 0)
                AsmParser::alignToColumn(out, target, column);
            out << piece;
            column += static_cast<int>(piece.size());
        };
        if (!directive.empty()) {
            put(columns.labelColumn, directive);
            put(columns.commandColumn, name);
            put(columns.argumentsColumn, value);
        } else {
            put(columns.labelColumn, label.empty() ? "" : label + syntax().labelEnd);
            put(columns.commandColumn, command);
            std::string joined;
            for (const std::string& arg : args)
                joined += (joined.empty() ? "" : std::string(1, syntax().argSep) + " ") + arg;
            put(columns.argumentsColumn, joined);
        }
        put(columns.commentColumn, comment);
        std::string laid = out.str();
        while (!laid.empty() && (laid.back() == ' ' || laid.back() == '\t'))
            laid.pop_back();
        const std::string_view original = std::string_view(text).substr(begin, end - begin);
        // Only blanks may change: a line with anything the tokens do not cover stays.
        if (laid == original || withoutBlanks(laid) != withoutBlanks(original))
            continue;
        formatted.append(text, copied, begin - copied);
        formatted += laid;
        copied = end;
        edits.push_back({begin, end, std::move(laid)});
    }
    if (edits.empty()) {
        respond(r, "[]");
        r.answered = true;
        return;
    }
    formatted.append(text, copied, std::string::npos);
    // The laid-out program must assemble to the same words (or fail the same way).
    lsp_analysis check;
    check.run(*m_checkDriver, std::make_shared<const std::string>(std::move(formatted)));
    if (check.assembled() != a.assembled() || check.words() != a.words() ||
        check.errors().size() != a.errors().size())
        throw refused("The document could not be laid out without changing its program");
    json result = json::array();
    for (const edit& e : edits)
        result.push_back({{"range", rangeOf(state.document, e.begin, e.end)}, {"newText", e.text}});
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::inlayHint(request& r) {
    const document_state& state = documentOf(r);
    const lsp_analysis& a = state.analysis;
    const lsp_document& document = state.document;
    json result = json::array();
    const std::string uri = stringOf(member(member(r.params, "textDocument"), "uri"), "uri");
    if (!a.assembled() || !m_settings.inlayHints || a.instructionLines().empty()) {
        respond(r, "[]");
        r.answered = true;
        return;
    }
    int64_t fromLine = 0, toLine = INT64_MAX;
    if (r.params.contains("range")) {
        const json& range = r.params["range"];
        fromLine = positionOf(member(range, "start")).line;
        toLine = positionOf(member(range, "end")).line;
    }
    const auto run = m_timing->wait(uri, state.generation, std::chrono::milliseconds(2000));
    if (!run) {
        // Still running: the client is asked again when it is done, where it can be.
        const std::lock_guard lock(m_refreshMutex);
        m_refreshWanted.insert(uri);
        respond(r, "[]");
        r.answered = true;
        return;
    }
    const auto hint = [&](size_t line, const std::string& label) {
        const lsp_position at = document.positionOf(a.readerLineEnd(line));
        if (at.line < fromLine || at.line > toLine)
            return;
        result.push_back({{"position", toJson(at)}, {"label", label}, {"paddingLeft", true}});
    };
    size_t stopLine = a.instructionLines().front().line;
    for (const lsp_instruction_line& instruction : a.instructionLines()) {
        if (instruction.address == run->pc)
            stopLine = instruction.line;
        if (instruction.address >= run->profile.size())
            continue;
        const SeqSim::AddressProfile& p = run->profile[instruction.address];
        if (p.count == 0) {
            hint(instruction.line, "never ran");
            continue;
        }
        hint(instruction.line, std::to_string(p.count) + "x, first at tick " +
                                   std::to_string(p.firstTick) + " / " +
                                   std::to_string(p.firstRealtime) + " ns, " +
                                   std::to_string(p.realtime) + " ns real time");
    }
    if (!run->ended)
        hint(stopLine, "run stopped here: " + run->message);
    respond(r, dump(result));
    r.answered = true;
}

void lsp_server::simulationDone(const std::string& uri, uint64_t) {
    {
        const std::lock_guard lock(m_refreshMutex);
        if (m_refreshWanted.erase(uri) == 0 || !m_refreshSupport)
            return;
        ++m_refreshCount;
    }
    send(dump(json{{"jsonrpc", "2.0"},
                   {"id", "vexa-refresh-" + std::to_string(m_refreshCount)},
                   {"method", "workspace/inlayHint/refresh"}}));
}
