#include "apps/cli/StudyTool.h"

#include "apps/cli/OptionValue.h"

namespace Study {

std::string StudyHelp() {
    return R"(usage: quan-study [options] RESULTS_DIR...

Merges the results of batch runs (the folders quan-batch --out wrote) into one study: the
database study.sqlite and the page study.html in the study folder. Every injection with its
batch, the study-wide matrix of concentrations (flagged values marked), and for every QC level
of every compound the accuracy and precision within and between batches, a Levey-Jennings chart
and the Westgard rules (1-3s, 2-2s, R-4s, 4-1s, 10-x), each violation named with its batch.

A batch is known by its results folder's name. Merging into a study that already holds a batch
of that name replaces that batch's rows and keeps every other batch as it was; a new name joins
after the batches the study holds, and that order (the order batches first joined in) is the
order of the charts and of the rules. Name the folders in run order.

Everything is read and checked first. A folder that is no results folder, a results database
of another schema or left half-written by an interrupted run, two batches of one name, or
batches whose methods differ in compounds, units or calibration settings (curve type, axis
transformation, origin, weighting, response calculation and type) are refused by name: nothing
is merged and the study stays as it was (exit status 2). The database is written whole under a
temporary name and renamed into place.

Options:
  --out DIR      the study folder (default: study).
  --different-compounds
                 merge batches whose methods have different compound sets, compound by
                 compound name; units and calibration settings of a compound must still agree.
  --targets FILE the Levey-Jennings mean and SD of QC levels from stated targets instead of the
                 study's own QC results: a CSV file with the columns Compound, Level (the
                 nominal concentration), Mean and SD. Levels it does not name use the study's.
  -h, --help     this page.

Exit status: 0 merged (Westgard violations are reported, not failures); 2 bad input, nothing
merged; 3 writing failed, the earlier study kept.
)";
}

bool ParseStudyOptions(const std::vector<std::string>& args, StudyToolOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string& into) { return Cli::TakeOptionValue(args, i, into, error); };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--out") {
            if (!value(options.merge.out)) return false;
        } else if (arg == "--targets") {
            if (!value(options.merge.targetsFile)) return false;
        } else if (arg == "--different-compounds") {
            options.merge.differentCompounds = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            options.merge.resultsFolders.push_back(arg);
        }
    }
    if (!options.help && options.merge.resultsFolders.empty()) {
        error = "no results folders given";
        return false;
    }
    return true;
}

int RunStudyTool(const StudyToolOptions& options, std::FILE* out, std::FILE* err) {
    MergeReport report;
    std::string error;
    switch (StudyMerge::Run(options.merge, report, error)) {
    case MergeOutcome::kRefused:
        std::fprintf(err, "quan-study: %s\nNothing was merged; the study in %s is as it was.\n", error.c_str(),
                     options.merge.out.c_str());
        return kStudyExitBadInput;
    case MergeOutcome::kFailed:
        std::fprintf(err, "quan-study: %s; the earlier study in %s is kept.\n", error.c_str(),
                     options.merge.out.c_str());
        return kStudyExitFailed;
    case MergeOutcome::kMerged:
        break;
    }
    const auto names = [](const std::vector<std::string>& list) {
        std::string text;
        for (const std::string& name : list) text += (text.empty() ? "" : ", ") + name;
        return text;
    };
    if (!report.added.empty()) std::fprintf(out, "Added: %s\n", names(report.added).c_str());
    if (!report.replaced.empty()) std::fprintf(out, "Replaced: %s\n", names(report.replaced).c_str());
    std::fprintf(out, "%zu batches, %zu injections, %zu compounds, %zu QC levels.\n", report.batches,
                 report.injections, report.compounds, report.qcLevels);
    if (report.violations.empty()) {
        std::fputs("No Westgard violations.\n", out);
    } else {
        std::fprintf(out, "%zu Westgard violation%s:\n", report.violations.size(),
                     report.violations.size() == 1 ? "" : "s");
        // A long list belongs to the page and the database, not the terminal.
        constexpr size_t kMostListed = 40;
        for (size_t i = 0; i < report.violations.size() && i < kMostListed; ++i)
            std::fprintf(out, "  %s\n", report.violations[i].c_str());
        if (report.violations.size() > kMostListed)
            std::fprintf(out, "  ... and %zu more (study.html and the westgard view of study.sqlite list all)\n",
                         report.violations.size() - kMostListed);
    }
    std::fprintf(out, "Study in %s/ (page: %s/study.html)\n", options.merge.out.c_str(), options.merge.out.c_str());
    return kStudyExitOK;
}

}  // namespace Study
