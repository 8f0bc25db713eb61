// The review station's HTTP side (ReviewServer.h), with cpp-httplib. Routing is by fixed paths
// and numbers taken from them; the checks every request passes (token, host, path) run before
// any route, in the pre-routing handler.
#include "workflow/station/ReviewServer.h"

#include <httplib.h>

#include <charconv>
#include <fstream>
#include <random>
#include <thread>

#include "workflow/output/HtmlReport.h"
#include "workflow/station/ReviewData.h"

namespace Station {

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";

void Send(httplib::Response& response, const Answer& answer) {
    response.status = answer.status;
    response.set_content(answer.body, answer.packed ? "application/octet-stream" : kJson);
}

// form= names the panels' form: absent or "json" for the report's JSON, "pack" for the binary
// pack the page reads in place.
bool PanelFormParam(const httplib::Request& request, PanelForm& form) {
    const std::string text = request.get_param_value("form");
    form = text == "pack" ? PanelForm::kPacked : PanelForm::kJson;
    return text.empty() || text == "json" || text == "pack";
}
constexpr const char* kFormsTaken = "form= takes \"json\" or \"pack\"";

// Equal texts, compared in a time that does not depend on where they differ.
bool SameSecret(const std::string& given, const std::string& token) {
    if (given.size() != token.size()) return false;
    unsigned char differ = 0;
    for (size_t i = 0; i < token.size(); ++i) differ |= static_cast<unsigned char>(given[i] ^ token[i]);
    return differ == 0;
}

// A path's number, as the routes take it: digits only, no sign, no more than fit.
bool PathNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    return read.ec == std::errc() && read.ptr == text.data() + text.size();
}

// A query parameter listing numbers ("3,17,42"): digits and commas only, at most kMostListed;
// absent or empty lists none (the route then answers for all).
constexpr size_t kMostListed = 10000;
bool NumberListParam(const httplib::Request& request, const char* name, std::vector<int>& numbers) {
    numbers.clear();
    const std::string text = request.get_param_value(name);
    size_t start = 0;
    while (start < text.size()) {
        const size_t comma = text.find(',', start);
        const size_t stop = comma == std::string::npos ? text.size() : comma;
        int value = 0;
        if (numbers.size() >= kMostListed || !PathNumber(text.substr(start, stop - start), value)) return false;
        numbers.push_back(value);
        start = stop + 1;
    }
    return text.empty() || text.back() != ',';
}

const char* StatusMessage(int status) {
    switch (status) {
    case 400: return "the request is malformed";
    case 404: return "there is nothing at this address";
    case 405: return "this address does not take that method";
    case 413: return "the request's body is larger than the station accepts";
    case 414: return "the request's address is too long";
    default: return "the request was refused";
    }
}

}  // namespace

std::string NewToken() {
    std::random_device source;
    std::string token;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        const uint32_t word = source();
        for (int shift = 28; shift >= 0; shift -= 4) token += kHex[(word >> shift) & 15];
    }
    return token;
}

struct ReviewServer::State {
    httplib::Server server;
    ReviewData data;
    ReviewEditor editor;
    std::string token, page;
    int port = 0;
    // Builds the batch's JSON while the analyst opens the page, so the first page comes at once.
    std::thread warming;
    ~State() {
        if (warming.joinable()) warming.join();
    }
};

ReviewServer::ReviewServer() = default;
ReviewServer::~ReviewServer() { Stop(); }

bool ReviewServer::Open(const ReviewServerOptions& options, std::string& error) {
    m_state = std::make_unique<State>();
    State& s = *m_state;
    if (!s.data.Open(options.resultsFolder, error)) return false;
    ReviewEditorOptions editing = options.editor;
    editing.resultsFolder = options.resultsFolder;
    if (!s.editor.Open(editing, error)) return false;
    s.editor.onChanged = [&s] { s.data.Forget(); };
    s.token = options.token.empty() ? NewToken() : options.token;
    s.page = Batch::ReviewStationPage(s.data.Title());

    s.server.set_payload_max_length(kMostBodyBytes);
    s.server.set_read_timeout(10, 0);
    s.server.set_write_timeout(10, 0);
    s.server.set_keep_alive_max_count(100);
    s.server.set_default_headers({{"Cache-Control", "no-store"},
                                  {"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"},
                                  {"X-Frame-Options", "DENY"}});
    s.server.set_pre_routing_handler([&s](const httplib::Request& request, httplib::Response& response) {
        const std::string& given = request.has_header("X-Quan-Token") ? request.get_header_value("X-Quan-Token")
                                                                        : request.get_param_value("token");
        if (given.empty()) {
            Send(response, ErrorAnswer(401, "the review station needs its token: open the address quan-review printed"));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!SameSecret(given, s.token)) {
            Send(response, ErrorAnswer(403, "the token is not this review station's: open the address quan-review printed"));
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string host = request.get_header_value("Host");
        std::string numeric = "127.0.0.1:", named = "localhost:";
        numeric += std::to_string(s.port);
        named += std::to_string(s.port);
        if (host != numeric && host != named) {
            Send(response, ErrorAnswer(403, "the review station answers only at " + numeric));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.path.find("..") != std::string::npos || request.target.find("..") != std::string::npos ||
            request.path.find('\\') != std::string::npos) {
            Send(response, ErrorAnswer(400, "a path may not hold \"..\" or \"\\\""));
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Refusals made by the library (unknown address, too large a body) get a message too.
    s.server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            Send(response, ErrorAnswer(response.status, StatusMessage(response.status)));
            return httplib::Server::HandlerResponse::Handled;
        }));

    s.server.Get("/", [&s](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Security-Policy",
                            "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                            "connect-src 'self'; img-src 'self' data: blob:; base-uri 'none'; form-action 'none'");
        response.set_content(s.page, "text/html; charset=utf-8");
    });
    s.server.Get("/api/batch", [&s](const httplib::Request&, httplib::Response& response) { Send(response, s.data.BatchAnswer()); });
    s.server.Get(R"(/api/compound/([^/]+))", [&s](const httplib::Request& request, httplib::Response& response) {
        int entry = 0;
        if (!PathNumber(request.matches[1], entry)) {
            Send(response, ErrorAnswer(404, "a compound is named by its entry number, not \"" + std::string(request.matches[1]) + "\""));
            return;
        }
        std::vector<int> only;
        if (!NumberListParam(request, "samples", only)) {
            Send(response, ErrorAnswer(400, "samples= takes at most 10000 sample numbers separated by commas"));
            return;
        }
        PanelForm form = PanelForm::kJson;
        if (!PanelFormParam(request, form)) {
            Send(response, ErrorAnswer(400, kFormsTaken));
            return;
        }
        Send(response, s.data.CompoundAnswer(entry, only, form));
    });
    s.server.Get(R"(/api/sample/([^/]+))", [&s](const httplib::Request& request, httplib::Response& response) {
        int sample = 0;
        if (!PathNumber(request.matches[1], sample)) {
            Send(response, ErrorAnswer(404, "a sample is named by its place in the batch, not \"" + std::string(request.matches[1]) + "\""));
            return;
        }
        std::vector<int> only;
        if (!NumberListParam(request, "entries", only)) {
            Send(response, ErrorAnswer(400, "entries= takes at most 10000 entry numbers separated by commas"));
            return;
        }
        PanelForm form = PanelForm::kJson;
        if (!PanelFormParam(request, form)) {
            Send(response, ErrorAnswer(400, kFormsTaken));
            return;
        }
        Send(response, s.data.SampleAnswer(sample, only, form));
    });
    s.server.Get("/api/state", [&s](const httplib::Request&, httplib::Response& response) { Send(response, s.editor.StateAnswer()); });
    s.server.Get("/api/reasons", [&s](const httplib::Request&, httplib::Response& response) { Send(response, s.editor.ReasonsAnswer()); });
    s.server.Get("/api/audit", [&s](const httplib::Request&, httplib::Response& response) { Send(response, s.editor.AuditAnswer()); });
    s.server.Post("/api/integration", [&s](const httplib::Request& request, httplib::Response& response) {
        Send(response, s.editor.IntegrationAnswer(request.body));
    });
    s.server.Post("/api/exclusion", [&s](const httplib::Request& request, httplib::Response& response) {
        Send(response, s.editor.ExclusionAnswer(request.body));
    });
    s.server.Post("/api/exclusions", [&s](const httplib::Request& request, httplib::Response& response) {
        Send(response, s.data.SaveExclusions(request.body));
    });

    const bool bound = options.port == 0 ? (s.port = s.server.bind_to_any_port("127.0.0.1")) > 0
                                         : s.server.bind_to_port("127.0.0.1", s.port = options.port);
    if (!bound) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(options.port) + " (is the port taken?)";
        return false;
    }
    s.warming = std::thread([&s] { s.data.BatchAnswer(); });
    return true;
}

ReviewEditor& ReviewServer::Editor() { return m_state->editor; }

int ReviewServer::Port() const { return m_state ? m_state->port : 0; }

const std::string& ReviewServer::Token() const {
    static const std::string none;
    return m_state ? m_state->token : none;
}

std::string ReviewServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(Port()) + "/?token=" + Token();
}

bool ReviewServer::Run() { return m_state && m_state->server.listen_after_bind(); }

bool ReviewServer::IsRunning() const { return m_state && m_state->server.is_running(); }

void ReviewServer::Stop() {
    if (m_state) m_state->server.stop();
}

}  // namespace Station
