// Merging batch results into a study: every results folder that quan-batch wrote (its
// results.sqlite) joins the study database study.sqlite in the study folder, with the QC
// statistics and Westgard verdicts over all the study's batches, and the study page
// study.html beside it.
//
// A batch is known by its results folder's name: merging a folder of a name the study already
// holds replaces that batch's rows and leaves every other batch's as they were; a new name joins
// the study after the batches it holds. The study order (the order of the QC charts and of the
// Westgard rules) is the order batches first joined in.
//
// Every input is read and checked before anything is written: a folder that is no results
// folder, a database of another schema, one that a run left half-written, two batches of one
// name, or batches whose methods differ in compounds, units or calibration settings are refused
// by name, and the study is left as it was. The database is built whole under a temporary name
// and renamed into place, so a reader never sees half a study.
#pragma once

#include <string>
#include <vector>

namespace Study {

// The study database layout written by this version.
constexpr int kStudySchemaVersion = 1;

struct MergeOptions {
    std::string out = "study";                // the study folder
    std::vector<std::string> resultsFolders;  // in the order they join
    bool differentCompounds = false;          // merge batches with different compound sets by name
    std::string targetsFile;                  // stated QC targets (QcTargets); empty: the study's own
};

struct MergeReport {
    std::vector<std::string> added, replaced;  // batch names
    size_t batches = 0, injections = 0, compounds = 0, qcLevels = 0;
    std::vector<std::string> violations;  // one line per Westgard violation, in study order
};

enum class MergeOutcome { kMerged, kRefused, kFailed };

class StudyMerge {
public:
    // kRefused (bad input, nothing written) or kFailed (writing failed, the earlier study kept)
    // with `error` set.
    static MergeOutcome Run(const MergeOptions& options, MergeReport& report, std::string& error);
};

}  // namespace Study
