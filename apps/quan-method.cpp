// quan-method: the method tool. Shows a method with its settings as texts, checks it, builds
// one from a transition list and writes one back as a transition list. `quan-method --help`
// tells all. Exit status: 0 done, 1 an output could not be written, 2 bad input (nothing
// written).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "quan.h"
#include "workflow/output/SafeFile.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodDocument.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace {

constexpr int kExitOK = 0, kExitWriteFailed = 1, kExitBadInput = 2;

const char* const kHelp =
    "usage: quan-method show METHOD             every entry with its settings as texts\n"
    "       quan-method check METHOD            every problem with file, line and column (the checks\n"
    "                                           quan-batch runs on a batch's method first)\n"
    "       quan-method format METHOD [--stored] [-o METHOD]\n"
    "                                           the method written again: readable (settings that\n"
    "                                           differ from their defaults, as texts), or the stored\n"
    "                                           form with every setting; list settings kept either way\n"
    "       quan-method import LIST [options] [-o METHOD]\n"
    "                                           a method from a transition list (CSV or TSV)\n"
    "       quan-method export METHOD [--style openswath|molecule] [--rt-unit s|min] [-o LIST]\n"
    "                                           the method's transition list (OpenSWATH columns with\n"
    "                                           times in seconds unless --rt-unit min, or small-molecule\n"
    "                                           columns with times in minutes)\n"
    "Without -o the result goes to standard output. A problem in the input stops the command\n"
    "with exit status 2 and writes nothing.\n"
    "\n"
    "import takes one method entry per compound (a heavy-labelled compound is a separate one,\n"
    "the internal standard of the light compound of the same name, or of the compounds whose\n"
    "internal-standard column names it). What the list does not give comes from these options:\n"
    "  --rt-window MIN     retention-time window either side, when the list has none   0.5\n"
    "  --mass-window DA    extraction window of the traces                              0.5\n"
    "  --units TEXT        reported concentration unit                                  ng/mL\n"
    "  --ratio-window PCT  allowed deviation of ion ratios, per cent of the expected     20\n"
    "  --rt-unit s|min     unit of the list's retention times (default: by column name;\n"
    "                      OpenSWATH RetentionTime is in seconds, other columns in minutes)\n"
    "  --istd-conc CONC    concentration of each internal standard                      1\n"
    "  --curve TEXT        curve type of the analytes                                   Linear\n"
    "  --weighting TEXT    weighting                                                    Null\n"
    "  --origin TEXT       origin handling                                              Exclude\n"
    "  --transform TEXT    axis transformation                                          None\n"
    "  --basis TEXT        response basis: Area or Height                               Area\n"
    "  --qualifiers N      qualifier ions kept per compound (0 to 4); a compound with more\n"
    "                      keeps the most intense, and a note names those left out       4\n"
    "Location: internal standards (heavy-labelled compounds, and compounds named in the\n"
    "internal-standard column) are searched in a wide window and take the largest peak in it;\n"
    "every other compound follows a standard (RRTRef): its own labelled form, searched in a\n"
    "narrow window around where that standard was found, or else the standard nearest in\n"
    "retention time, whose drift it shares.\n"
    "  --follow-standards on|off  off: every compound by its own retention time         on\n"
    "  --standard-window MIN  window either side for standards, when the list has none  0.75\n"
    "  --standard-choice largest|closest  the peak a standard takes in its window       largest\n"
    "  --partner-window MIN   window either side of the labelled partner's found time   0.1\n"
    "Texts of settings are those of method files, ignoring case (--weighting 1/x).\n";

void Print(FILE* to, const MethodTools::Problems& problems, const char* prefix = "") {
    for (const MethodTools::Problem& problem : problems) std::fprintf(to, "%s%s\n", prefix, problem.Text().c_str());
}

bool WriteOutput(const std::string& path, const std::string& text) {
    if (path.empty()) return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    std::string error;
    if (Batch::WriteFileSafely(path, text, error)) return true;
    std::fprintf(stderr, "quan-method: %s cannot be written: %s\n", path.c_str(), error.c_str());
    return false;
}

// --- show -------------------------------------------------------------------------------------

template <class T>
std::string Shortest(T value) {
    char text[40];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

// "?" and a number, for a value no table row names. Texts here are appended piece by piece:
// g++ 12 warns falsely (-Wrestrict) on "text" + a temporary string in optimised builds.
std::string Unknown(int value) {
    std::string text = "?";
    text += std::to_string(value);
    return text;
}

std::string Setting(const char* attribute, int value) {
    const std::string text = Keywords::SettingText(attribute, value);
    return text.empty() ? Unknown(value) : text;
}

std::vector<std::string> ShowRow(const CMethodList& method, int i) {
    const CMethodData& e = method.GetAt(i);
    std::string qualifiers;
    for (int k = 0; k < 4; ++k) {
        if (e.GetTargetTrace(k).empty()) continue;
        if (!qualifiers.empty()) qualifiers += ' ';
        qualifiers += e.GetTargetTrace(k);
        if (e.GetTargetRatio(k) > 0.0) {
            qualifiers += " (";
            qualifiers += Shortest(e.GetTargetRatio(k));
            qualifiers += " ±";
            qualifiers += std::to_string(e.GetTargetWindow(k));
            qualifiers += "%)";
        }
    }
    const int rref = e.GetRRef();
    std::string standard = rref >= 1 && rref <= method.GetSize() ? method.GetAt(rref - 1).GetName() : "";
    if (e.GetUseMulti() != 0) {
        standard.clear();
        for (int k = 0; k < 6 && e.GetIStd(k) >= 0; ++k) {
            if (!standard.empty()) standard += '+';
            standard += e.GetIStd(k) < method.GetSize() ? method.GetAt(e.GetIStd(k)).GetName() : Unknown(e.GetIStd(k));
        }
    }
    const int by = e.GetLocateBy();
    const std::string where = by == 2 ? "RRT " + Shortest(e.GetPredRRT()) : Shortest(e.GetPredRT());
    // How the peak is chosen: the largest in the window, or beside the entry it follows.
    std::string locate = Setting("LocateBy", by);
    if (e.GetLocateChoice() == MethodTools::kChooseLargest) locate += ", largest";
    const int follows = e.GetRRTRef();
    if (by == 1 && follows >= 1 && follows <= method.GetSize() && follows != i + 1)
        locate += " after " + method.GetAt(follows - 1).GetName();
    return {std::to_string(i + 1), e.GetName(), locate, where, Shortest(e.GetLocateRTWin()),
            e.GetQuanTrace(), qualifiers.empty() ? "-" : qualifiers, Setting("RCalc", e.GetRCalc()),
            standard.empty() ? "-" : standard, Setting("RAH", e.GetRAH()), Setting("CCalc", e.GetCCalc()),
            Setting("WeightingFunction", e.GetWeightingFunction()), Setting("Origin", e.GetOrigin()),
            Setting("XYTrans", e.GetXYTrans()), Setting("StdLevels", e.GetStdLevels()),
            e.GetRepUnits().empty() ? "-" : e.GetRepUnits()};
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) {
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max(widths[c], row[c].size());
        }
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) line += row[c] + std::string(c + 1 < row.size() ? widths[c] - row[c].size() + 2 : 0, ' ');
        std::printf("%s\n", line.c_str());
    }
}

int Show(const std::string& path) {
    MethodTools::MethodDocument method;
    MethodTools::Problems problems;
    const bool clean = MethodTools::ReadMethodFile(path, method, problems, &method.settings);
    if (method.GetSize() == 0) {
        Print(stderr, problems);
        return kExitBadInput;
    }
    std::printf("%s: %d entries\n", path.c_str(), method.GetSize());
    for (const auto& [name, value] : MethodTools::ListAttributes(method.settings))
        std::printf("  %s=%s\n", name.c_str(), value.c_str());
    std::vector<std::vector<std::string>> rows = {{"#", "Name", "Locate", "RT", "Window", "Trace", "Qualifiers (ratio)",
                                                   "Response", "Internal standard", "Basis", "Curve", "Weighting",
                                                   "Origin", "Axis", "Level", "Units"}};
    for (int i = 0; i < method.GetSize(); ++i) rows.push_back(ShowRow(method, i));
    PrintTable(rows);
    Print(stderr, problems);
    return clean ? kExitOK : kExitBadInput;
}

// The checks quan-batch runs on a method before anything else: the document's own.
int Check(const std::string& path) {
    MethodTools::MethodDocument method;
    MethodTools::Problems problems;
    if (!method.ReadFile(path, problems)) {
        Print(stderr, problems);
        std::fprintf(stderr, "%s: %zu problem%s\n", path.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
        return kExitBadInput;
    }
    std::printf("%s: %d entries, no problems\n", path.c_str(), method.GetSize());
    return kExitOK;
}

// --- import and export --------------------------------------------------------------------------

bool NumberOption(const std::string& text, double& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool SettingOption(const char* attribute, const std::string& text, int& value) {
    const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(attribute);
    const int row = setting != nullptr ? Keywords::SettingValue(*setting, text) : -1;
    if (row < 0) return false;
    value = row;
    return true;
}

bool TimeUnitOption(const std::string& text, MethodTools::TimeUnit& unit) {
    if (text == "s" || text == "sec" || text == "seconds") unit = MethodTools::TimeUnit::kSeconds;
    else if (text == "min" || text == "minutes") unit = MethodTools::TimeUnit::kMinutes;
    else return false;
    return true;
}

struct Arguments {
    std::string input, output, error;
    MethodTools::ImportOptions import;
    MethodTools::ListStyle style = MethodTools::ListStyle::kOpenSwath;
    MethodTools::TimeUnit exportUnit = MethodTools::TimeUnit::kSeconds;
};

// Reads the arguments after the subcommand; `forImport` admits the import options.
bool ParseArguments(const std::vector<std::string>& args, bool forImport, Arguments& out) {
    auto& o = out.import;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            if (i + 1 >= args.size()) {
                out.error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            double number = 0.0;
            bool ok = true;
            if (arg == "-o") out.output = value;
            else if (arg == "--rt-unit") ok = TimeUnitOption(value, forImport ? o.rtUnit : out.exportUnit);
            else if (!forImport && arg == "--style") {
                ok = value == "openswath" || value == "molecule";
                out.style = value == "molecule" ? MethodTools::ListStyle::kSmallMolecule : MethodTools::ListStyle::kOpenSwath;
            } else if (forImport && arg == "--rt-window") ok = NumberOption(value, o.rtWindow) && o.rtWindow > 0.0;
            else if (forImport && arg == "--mass-window") ok = NumberOption(value, o.massWindow) && o.massWindow > 0.0;
            else if (forImport && arg == "--units") o.units = value;
            else if (forImport && arg == "--ratio-window") {
                ok = NumberOption(value, number) && number > 0.0 && number <= 1000.0 && number == std::floor(number);
                o.ratioWindow = static_cast<int>(number);
            } else if (forImport && arg == "--istd-conc") ok = NumberOption(value, o.standardConc) && o.standardConc > 0.0;
            else if (forImport && arg == "--curve") ok = SettingOption("CCalc", value, o.curveType);
            else if (forImport && arg == "--weighting") ok = SettingOption("WeightingFunction", value, o.weighting);
            else if (forImport && arg == "--origin") ok = SettingOption("Origin", value, o.origin);
            else if (forImport && arg == "--transform") ok = SettingOption("XYTrans", value, o.axisTransform);
            else if (forImport && arg == "--basis") ok = SettingOption("RAH", value, o.responseBasis);
            else if (forImport && arg == "--qualifiers") {
                ok = NumberOption(value, number) && number >= 0.0 && number <= 4.0 && number == std::floor(number);
                o.maxQualifiers = static_cast<int>(number);
            } else if (forImport && arg == "--follow-standards") {
                ok = value == "on" || value == "off";
                o.followStandards = value == "on";
            } else if (forImport && arg == "--standard-window") ok = NumberOption(value, o.standardWindow) && o.standardWindow > 0.0;
            else if (forImport && arg == "--partner-window") ok = NumberOption(value, o.partnerWindow) && o.partnerWindow > 0.0;
            else if (forImport && arg == "--standard-choice") {
                ok = value == "largest" || value == "closest";
                o.standardChoice = value == "largest" ? MethodTools::kChooseLargest : MethodTools::kChooseClosest;
            }
            else {
                out.error = "unknown option " + arg;
                return false;
            }
            if (!ok) {
                out.error = "\"" + value + "\" is not a valid value of " + arg;
                return false;
            }
        } else if (out.input.empty()) {
            out.input = arg;
        } else {
            out.error = "more than one input: " + out.input + " and " + arg;
            return false;
        }
    }
    if (out.input.empty()) out.error = "no input file given";
    return out.error.empty();
}

int Import(const Arguments& args) {
    CMethodList method;
    MethodTools::Problems problems, notes;
    const bool ok = MethodTools::ImportTransitionList(args.input, args.import, method, problems, notes);
    Print(stderr, notes, "note: ");
    if (ok) MethodTools::CheckMethod(args.input, method, {}, problems);  // what the list gave must also make a sound method
    if (!problems.empty()) {
        Print(stderr, problems);
        std::fprintf(stderr, "quan-method: no method written (%zu problem%s)\n", problems.size(), problems.size() == 1 ? "" : "s");
        return kExitBadInput;
    }
    if (!WriteOutput(args.output, MethodTools::ReadableMethodXML(method))) return kExitWriteFailed;
    if (!args.output.empty()) std::fprintf(stderr, "%s: %d entries written\n", args.output.c_str(), method.GetSize());
    return kExitOK;
}

int Export(const Arguments& args) {
    CMethodList method;
    MethodTools::Problems problems;
    if (!MethodTools::ReadMethodFile(args.input, method, problems)) {
        Print(stderr, problems);
        std::fprintf(stderr, "quan-method: no list written\n");
        return kExitBadInput;
    }
    MethodTools::Problems notes;
    const std::string list = MethodTools::TransitionListText(method, args.style, args.exportUnit, notes);
    for (const MethodTools::Problem& note : notes) std::fprintf(stderr, "note: %s: %s\n", args.input.c_str(), note.message.c_str());
    return WriteOutput(args.output, list) ? kExitOK : kExitWriteFailed;
}

int Format(const std::string& input, const std::string& output, bool stored) {
    MethodTools::MethodDocument method;
    MethodTools::Problems problems;
    if (!method.ReadFile(input, problems)) {
        Print(stderr, problems);
        std::fprintf(stderr, "quan-method: no method written\n");
        return kExitBadInput;
    }
    const std::string text = method.Xml(!stored);
    if (text.empty()) {
        std::fprintf(stderr, "quan-method: %s cannot be written as XML\n", input.c_str());
        return kExitWriteFailed;
    }
    return WriteOutput(output, text) ? kExitOK : kExitWriteFailed;
}

int Usage(const std::string& error) {
    std::fprintf(stderr, "quan-method: %s\n(quan-method --help explains the commands)\n", error.c_str());
    return kExitBadInput;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        std::printf("\nTransition list columns, %s\n", MethodTools::RecognisedColumnsText().c_str());
        return kExitOK;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "show" || command == "check") {
        if (rest.size() != 1) return Usage(command + " takes one method file");
        return command == "show" ? Show(rest[0]) : Check(rest[0]);
    }
    if (command == "format") {
        std::string input, output;
        bool stored = false;
        for (size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == "--stored") stored = true;
            else if (rest[i] == "-o" && i + 1 < rest.size()) output = rest[++i];
            else if (rest[i].empty() || rest[i][0] == '-' || !input.empty()) return Usage("format takes METHOD [--stored] [-o METHOD]");
            else input = rest[i];
        }
        if (input.empty()) return Usage("format takes METHOD [--stored] [-o METHOD]");
        return Format(input, output, stored);
    }
    if (command == "import" || command == "export") {
        Arguments parsed;
        if (!ParseArguments(rest, command == "import", parsed)) return Usage(parsed.error);
        return command == "import" ? Import(parsed) : Export(parsed);
    }
    // A single method file, as the tool took before it had commands: show it.
    std::error_code ignored;
    if (args.size() == 1 && std::filesystem::is_regular_file(command, ignored)) return Show(command);
    return Usage("unknown command " + command);
}
