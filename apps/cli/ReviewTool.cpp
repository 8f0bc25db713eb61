// quan-review's options and its life: the signals that stop it are blocked in every thread and
// taken by one watcher thread with sigwait, which stops the server; the server's threads end,
// Run returns, and the program says so and exits 0.
#include "apps/cli/ReviewTool.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "platform/NumberText.h"
#include "workflow/review/AuditTrail.h"
#include "workflow/station/ReviewServer.h"

namespace Station {

namespace {
// A name the audit trail and exclusions.csv can carry as it is.
bool UsableUserName(const std::string& name) {
    if (name.empty() || name.size() > 100 || name == "automatic") return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}
}  // namespace

std::string ReviewToolHelp() {
    return R"(usage: quan-review RESULTS_DIR [--port N] [--batch DIR] [--user NAME]
       quan-review --verify RESULTS_DIR

Opens the review station on a finished batch: a web page, served on this machine only
(127.0.0.1), that shows every result on its chromatogram. RESULTS_DIR is the folder quan-batch
wrote (it reads RESULTS_DIR/results.sqlite; only the corrections below change it).

It prints the address to open in a browser; the address carries a random token that every
request must present, so only who was given the address can use the station. Ctrl-C stops it.

The page has the report's summary, results grid and calibration views, and:
  compound view  one panel per sample for the chosen compound: the quantification trace, the
                 qualifier traces overlaid and scaled by their expected ratios, the internal
                 standard beside it, the location window (grey), the integrated bounds (yellow),
                 the area between baseline and trace (blue), the predicted retention time
                 (dashed) and the found one (red), with area, response, concentration and flags
                 under each panel; filter by sample type and result, order by type, RT, area,
                 concentration or flags; the corner button zooms a panel.
  sample view    every compound of one sample the same way.
  keys           n / p: next or previous compound; j / k: next or previous sample; arrows left
                 and right move within the view shown; Esc closes a zoomed panel.
Compound and sample names in the grid open these views; the calibration view links to them and
back. Chromatograms are there when the batch ran from raw data (quan-batch keeps the window of
each compound, or whole traces with --whole-traces); a batch run from peak lists has none.

Corrections: drag a peak's bounds or its baseline's ends, choose another detected peak, set
"no peak" or restore the integrator's peak, and exclude or restore calibration points, each with
a reason. The station recomputes the peak from the stored trace, quantifies the sample again
(every sample, with the curves fitted again, when a standard changed) and updates
results.sqlite in one transaction with a row of its audit trail; it records the decisions in
integrations.csv and exclusions.csv beside the results (quan-batch --integrations and
--exclusions rebuild the same results from them) and writes results.csv, matrix.csv and
report.html again. For this it reads the batch again from its folder when it starts.

--verify checks a results folder instead of serving it: that the audit trail of the changes
made in review is whole (every row's SHA-256 chained over the one before), and that the stored
results, curves and calibration points are exactly what the batch's inputs (the batch folder and
options recorded with the results) and the recorded changes give, by running the batch again. It
prints every problem, naming the audit row, or the table, sample, compound and column with the
stored and the expected value. Exit status: 0 verified, 1 problems found, 2 bad options.

Options:
  --port N      listen on port N (default: any free port)
  --batch DIR   the batch folder the results came from (default: the folder of its method file)
  --user NAME   who signs the changes (default: the login name)
  --verify      verify RESULTS_DIR and exit (see above)
  -h, --help    this page
)";
}

namespace {

// quan-review --verify RESULTS_DIR: the audit chain, and the batch run again from its inputs
// with the recorded changes, compared with the stored results.
int RunVerification(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    std::string folder;
    for (const std::string& arg : args) {
        if (arg == "--verify") continue;
        if ((!arg.empty() && arg[0] == '-') || !folder.empty()) {
            std::fprintf(err, "quan-review: --verify takes one results folder and no other option (%s)\n", arg.c_str());
            return kVerifyBadOptions;
        }
        folder = arg;
    }
    if (folder.empty()) {
        std::fprintf(err, "quan-review: --verify needs the results folder to verify\n");
        return kVerifyBadOptions;
    }
    std::vector<Batch::Problem> problems;
    if (Batch::VerifyResultsFolder(folder, problems)) {
        std::fprintf(out, "%s verified: the audit trail is whole and the stored results are what the batch's "
                          "inputs and the recorded changes give.\n", folder.c_str());
        return kVerifyClean;
    }
    for (const Batch::Problem& problem : problems) std::fprintf(out, "%s\n", problem.Text().c_str());
    std::fprintf(out, "%s does not verify: %zu problem%s.\n", folder.c_str(), problems.size(),
                 problems.size() == 1 ? "" : "s");
    return kVerifyProblems;
}

}  // namespace

int RunReviewTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    for (const std::string& arg : args)
        if (arg == "--verify") return RunVerification(args, out, err);
    ReviewServerOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(ReviewToolHelp().c_str(), out);
            return 0;
        }
        if (arg == "--port") {
            int port = 0;
            if (i + 1 >= args.size() || !NumberText::Read(args[i + 1], port) || port < 1 || port > 65535) {
                std::fprintf(err, "quan-review: --port takes a port number from 1 to 65535\n");
                return 2;
            }
            options.port = port;
            ++i;
        } else if (arg == "--batch" || arg == "--user") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                std::fprintf(err, "quan-review: %s takes a value\n", arg.c_str());
                return 2;
            }
            (arg == "--batch" ? options.editor.batchFolder : options.editor.user) = args[++i];
            if (arg == "--user" && !UsableUserName(options.editor.user)) {
                std::fprintf(err, "quan-review: --user takes a name of one line, at most 100 bytes, other than \"automatic\" "
                                  "(which marks points the tool excluded)\n");
                return 2;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(err, "quan-review: unknown option %s (quan-review --help explains the options)\n", arg.c_str());
            return 2;
        } else if (options.resultsFolder.empty()) {
            options.resultsFolder = arg;
        } else {
            std::fprintf(err, "quan-review: one results folder only (%s, %s)\n", options.resultsFolder.c_str(), arg.c_str());
            return 2;
        }
    }
    if (options.resultsFolder.empty()) {
        std::fprintf(err, "quan-review: no results folder given (quan-review --help explains the options)\n");
        return 2;
    }

    // Blocked before any thread starts, so every thread inherits the mask and only the watcher
    // takes these signals.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);

    ReviewServer server;
    std::string error;
    if (!server.Open(options, error)) {
        std::fprintf(err, "quan-review: %s\n", error.c_str());
        return 3;
    }
    std::fprintf(out, "Review station for %s\nOpen %s in a browser on this machine. Ctrl-C stops it.\n",
                 options.resultsFolder.c_str(), server.Url().c_str());
    std::fflush(out);

    std::thread watcher([&server, stopping] {
        int signal = 0;
        sigwait(&stopping, &signal);
        // The server may not have started listening yet; keep asking until it has stopped.
        for (int i = 0; i < 200 && !server.IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        server.Stop();
    });
    const bool ran = server.Run();
    if (!ran) {
        std::fprintf(err, "quan-review: the server stopped unexpectedly\n");
        // Wake the watcher so the program can end.
        pthread_kill(watcher.native_handle(), SIGTERM);
        watcher.join();
        return 3;
    }
    watcher.join();
    std::fprintf(out, "quan-review: stopped.\n");
    return 0;
}

}  // namespace Station
