// quan-integrate: integrates raw data files for a method and writes each file's whole peak list
// (every integrated peak, before any location) in the batch's peak CSV format, so that an
// analyst can look at the integration and edit it, then run the batch on the peak lists.
//
//   quan-integrate --method METHOD [--out DIR] FILE...
//
// FILE is an mzML file or a detector channel exported as text; its peak list is written to
// DIR/<file name without extension>.csv with each peak's shape figures (width at half height,
// asymmetry at 10 %, USP tailing factor, points across) after the peak fields (DIR defaults to the working folder and is made when
// missing). A file with problems is reported, one line per problem, and gets no peak list; the
// others are written. Exit status: 0 all written, 2 a bad option, method or file, 3 a peak list
// could not be written.
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "quan.h"
#include "workflow/batch/BatchInput.h"
#include "workflow/batch/RawPeaks.h"
#include "workflow/output/SafeFile.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitOK = 0;
constexpr int kExitBadInput = 2;
constexpr int kExitWriteFailed = 3;

const char* const kUsage = "usage: quan-integrate --method METHOD [--out DIR] FILE...\n";

struct Options {
    std::string method;
    std::string out = ".";
    std::vector<std::string> files;
};

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--method" || arg == "--out") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            (arg == "--method" ? options.method : options.out) = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            error.clear();
            return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.method.empty()) error = "--method is missing";
    else if (options.files.empty()) error = "no raw data file given";
    return error.empty();
}

// "run.mzML" and "run.mzML.gz" give "run.csv".
std::string PeakListName(const std::string& file) {
    fs::path name = fs::path(file).filename();
    if (name.extension() == ".gz") name = name.stem();
    return name.stem().string() + ".csv";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        if (!error.empty()) std::fprintf(stderr, "quan-integrate: %s\n", error.c_str());
        std::fputs(kUsage, error.empty() ? stdout : stderr);
        return error.empty() ? kExitOK : kExitBadInput;
    }
    std::vector<Batch::Problem> problems;
    CMethodList method;
    if (!Batch::ReadMethodFile(options.method, method, problems)) {
        for (const Batch::Problem& problem : problems) std::fprintf(stderr, "%s\n", problem.Text().c_str());
        return kExitBadInput;
    }
    // Two inputs of the same name would overwrite each other's peak list.
    std::map<std::string, std::string> byOutput;
    for (const std::string& file : options.files) {
        const auto [at, added] = byOutput.emplace(PeakListName(file), file);
        if (!added) {
            std::fprintf(stderr, "quan-integrate: %s and %s would both write %s\n", at->second.c_str(), file.c_str(), at->first.c_str());
            return kExitBadInput;
        }
    }
    std::error_code made;
    fs::create_directories(options.out, made);
    int status = kExitOK;
    for (const std::string& file : options.files) {
        CPeakList peaks;
        std::vector<Integrate::PeakQuality> quality;
        const size_t before = problems.size();
        if (!Batch::ReadRawPeaks({file}, method, peaks, problems, nullptr, &quality)) {
            for (size_t p = before; p < problems.size(); ++p) std::fprintf(stderr, "%s\n", problems[p].Text().c_str());
            status = status == kExitOK ? kExitBadInput : status;
            continue;
        }
        const std::string target = (fs::path(options.out) / PeakListName(file)).string();
        if (!Batch::WriteFileSafely(target, Batch::PeakListCsv(peaks, &quality), error)) {
            std::fprintf(stderr, "quan-integrate: %s: %s\n", target.c_str(), error.c_str());
            status = kExitWriteFailed;
            continue;
        }
        std::printf("%s: %d peaks -> %s\n", file.c_str(), peaks.GetSize(), target.c_str());
    }
    return status;
}
