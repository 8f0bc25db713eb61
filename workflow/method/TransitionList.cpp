// Transition lists in and out. The column aliases are one table: a column is known by its
// name, compared ignoring case and surrounding spaces, after a unit in brackets ("(min)",
// "[s]") has been taken off. Where two columns of a list mean the same thing, the earlier one
// in the table wins, and the other is left alone.
#include "workflow/method/TransitionList.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <map>
#include <set>

#include "workflow/support/Csv.h"

namespace MethodTools {
namespace {

enum class Meaning {
    kCompound, kTransitionName, kPrecursorMz, kProductMz, kRetentionTime, kRetentionTimeWindow, kLabel,
    kQuantifying, kLibraryIntensity, kInternalStandard, kNote, kDecoy, kKnownUnused
};

struct ColumnAlias {
    const char* name;  // lower case
    Meaning meaning;
    TimeUnit unit;     // retention times and windows: the unit the name implies
};

// Retention times: OpenSWATH lists give "RetentionTime" in seconds; every other name is taken
// in minutes unless it states its unit. Windows are full widths, as lab tools give them.
constexpr ColumnAlias kColumnAliases[] = {
    {"transition_group_id", Meaning::kCompound, TimeUnit::kColumn},
    {"molecule name", Meaning::kCompound, TimeUnit::kColumn},
    {"compound name", Meaning::kCompound, TimeUnit::kColumn},
    {"compoundname", Meaning::kCompound, TimeUnit::kColumn},
    {"compound", Meaning::kCompound, TimeUnit::kColumn},
    {"transition_name", Meaning::kTransitionName, TimeUnit::kColumn},
    {"transition name", Meaning::kTransitionName, TimeUnit::kColumn},
    {"precursormz", Meaning::kPrecursorMz, TimeUnit::kColumn},
    {"precursor m/z", Meaning::kPrecursorMz, TimeUnit::kColumn},
    {"precursor mz", Meaning::kPrecursorMz, TimeUnit::kColumn},
    {"q1", Meaning::kPrecursorMz, TimeUnit::kColumn},
    {"productmz", Meaning::kProductMz, TimeUnit::kColumn},
    {"product m/z", Meaning::kProductMz, TimeUnit::kColumn},
    {"product mz", Meaning::kProductMz, TimeUnit::kColumn},
    {"q3", Meaning::kProductMz, TimeUnit::kColumn},
    {"explicit retention time", Meaning::kRetentionTime, TimeUnit::kMinutes},
    {"retentiontime", Meaning::kRetentionTime, TimeUnit::kSeconds},
    {"retention time", Meaning::kRetentionTime, TimeUnit::kMinutes},
    {"rt", Meaning::kRetentionTime, TimeUnit::kMinutes},
    {"explicit retention time window", Meaning::kRetentionTimeWindow, TimeUnit::kMinutes},
    {"retentiontimewindow", Meaning::kRetentionTimeWindow, TimeUnit::kSeconds},
    {"retention time window", Meaning::kRetentionTimeWindow, TimeUnit::kMinutes},
    {"rt window", Meaning::kRetentionTimeWindow, TimeUnit::kMinutes},
    {"labeltype", Meaning::kLabel, TimeUnit::kColumn},
    {"label type", Meaning::kLabel, TimeUnit::kColumn},
    {"isotope label type", Meaning::kLabel, TimeUnit::kColumn},
    {"quantifying_transition", Meaning::kQuantifying, TimeUnit::kColumn},
    {"quantitative", Meaning::kQuantifying, TimeUnit::kColumn},
    {"quantifier", Meaning::kQuantifying, TimeUnit::kColumn},
    {"libraryintensity", Meaning::kLibraryIntensity, TimeUnit::kColumn},
    {"library intensity", Meaning::kLibraryIntensity, TimeUnit::kColumn},
    {"relative intensity", Meaning::kLibraryIntensity, TimeUnit::kColumn},
    {"internal standard", Meaning::kInternalStandard, TimeUnit::kColumn},
    {"internalstandard", Meaning::kInternalStandard, TimeUnit::kColumn},
    {"is_name", Meaning::kInternalStandard, TimeUnit::kColumn},
    {"is name", Meaning::kInternalStandard, TimeUnit::kColumn},
    {"note", Meaning::kNote, TimeUnit::kColumn},
    {"decoy", Meaning::kDecoy, TimeUnit::kColumn},
    // Columns lists carry that a method has no place for; known, so they raise no note.
    {"proteinname", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"molecule list name", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"precursor formula", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"precursor charge", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"precursorcharge", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"product charge", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"fragmentcharge", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"identifying_transition", Meaning::kKnownUnused, TimeUnit::kColumn},
    {"detecting_transition", Meaning::kKnownUnused, TimeUnit::kColumn},
};

const char* MeaningText(Meaning meaning) {
    switch (meaning) {
        case Meaning::kCompound: return "compound";
        case Meaning::kTransitionName: return "transition name";
        case Meaning::kPrecursorMz: return "precursor m/z";
        case Meaning::kProductMz: return "product m/z";
        case Meaning::kRetentionTime: return "retention time";
        case Meaning::kRetentionTimeWindow: return "retention-time window";
        case Meaning::kLabel: return "label type";
        case Meaning::kQuantifying: return "quantifying transition";
        case Meaning::kLibraryIntensity: return "library intensity";
        case Meaning::kInternalStandard: return "internal standard";
        case Meaning::kNote: return "note";
        case Meaning::kDecoy: return "decoy";
        case Meaning::kKnownUnused: return "not used";
    }
    return "";
}

std::string AliasesOf(Meaning meaning) {
    std::string names;
    for (const ColumnAlias& alias : kColumnAliases)
        if (alias.meaning == meaning) names += (names.empty() ? "" : ", ") + std::string(alias.name);
    return names;
}

constexpr Meaning kRequired[] = {Meaning::kCompound, Meaning::kPrecursorMz, Meaning::kRetentionTime};
constexpr const char* kHeavySuffix = " (heavy)";
constexpr int kMaxQualifiers = 4;
// Ion ratios are kept to six significant digits: a list's intensities rarely carry more, and
// a ratio written back as intensities then reads back as the same number.
constexpr int kRatioDigits = 6;
constexpr double kExportedQuanIntensity = 100.0;
constexpr double kSmallestRatio = 1e-9;
constexpr double kSecondsPerMinute = 60.0;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The header cell without a trailing unit in brackets; `unit` receives the unit it states.
std::string ColumnKey(const std::string& header, TimeUnit& unit) {
    std::string key = Lower(Csv::Trim(header));
    unit = TimeUnit::kColumn;
    const size_t open = key.find_last_of("([");
    if (open != std::string::npos && (key.back() == ')' || key.back() == ']')) {
        const std::string stated = Csv::Trim(key.substr(open + 1, key.size() - open - 2));
        if (stated == "min" || stated == "minutes" || stated == "minute") unit = TimeUnit::kMinutes;
        if (stated == "s" || stated == "sec" || stated == "seconds" || stated == "second") unit = TimeUnit::kSeconds;
        if (unit != TimeUnit::kColumn) key = Csv::Trim(key.substr(0, open));
    }
    return key;
}

bool ToNumber(const std::string& cell, double& value) {
    std::string text = Csv::Trim(cell);
    if (!text.empty() && text[0] == '+') text.erase(0, 1);
    if (text.empty()) return false;
    auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && stop == text.data() + text.size() && std::isfinite(value);
}

// Times in minutes are read as single precision directly, as method entries hold them, so that
// a time written in its shortest form reads back as the same value.
bool ToMinutes(const std::string& cell, double& value) {
    std::string text = Csv::Trim(cell);
    float minutes = 0.0f;
    auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), minutes);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size() || !std::isfinite(minutes)) return false;
    value = minutes;
    return true;
}

bool ToTime(const std::string& cell, TimeUnit unit, double& minutes) {
    if (unit != TimeUnit::kSeconds) return ToMinutes(cell, minutes);
    if (!ToNumber(cell, minutes)) return false;
    minutes /= kSecondsPerMinute;
    return std::isfinite(static_cast<float>(minutes));  // method entries hold times in single precision
}

bool ToSwitch(const std::string& cell, int& value) {
    const std::string text = Lower(Csv::Trim(cell));
    static const std::set<std::string> yes = {"true", "t", "yes", "y", "1"}, no = {"false", "f", "no", "n", "0"};
    if (yes.count(text)) value = 1;
    else if (no.count(text)) value = 0;
    else return false;
    return true;
}

bool IsHeavyLabel(const std::string& label) {
    const std::string text = Lower(Csv::Trim(label));
    return !text.empty() && text != "light" && text != "unlabeled" && text != "unlabelled" && text != "none";
}

bool IsStandardNote(const std::string& note) {
    const std::string text = Lower(Csv::Trim(note));
    return text == "is" || text == "istd" || text == "internal standard";
}

std::string NumberText(double value) {
    char text[40];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string();
}

double RoundedRatio(double ratio) {
    char text[40];
    auto [end, error] = std::to_chars(text, text + sizeof text, ratio, std::chars_format::general, kRatioDigits);
    double rounded = ratio;
    if (error == std::errc()) std::from_chars(text, end, rounded);
    return rounded;
}

std::string TraceText(const Transition& t) {
    return t.product > 0.0 ? NumberText(t.precursor) + ">" + NumberText(t.product) : NumberText(t.precursor);
}

char SeparatorOf(const std::string& text) {
    const std::string firstLine = text.substr(0, text.find('\n'));
    size_t tabs = 0, commas = 0;
    for (char c : firstLine) {
        tabs += c == '\t';
        commas += c == ',';
    }
    return tabs > commas ? '\t' : ',';
}

// --- building the method --------------------------------------------------------------------

struct Compound {
    std::string listName, entryName;
    bool heavy = false;
    std::vector<const Transition*> transitions;
    const Transition* quantifying = nullptr;
    std::vector<const Transition*> qualifiers;  // kept, in list order
    int standard = -1;       // index of its internal standard among the compounds
    int partner = -1;        // index of its labelled form (same name, heavy), which co-elutes with it
    int follows = -1;        // index of the standard its location follows (RRTRef)
    bool isStandardOfSomeone = false;
    bool IsStandard() const { return heavy || isStandardOfSomeone; }
};

class MethodBuilder {
public:
    MethodBuilder(const std::string& file, const ImportOptions& options, Problems& problems, Problems& notes)
        : m_file(file), m_options(options), m_problems(problems), m_notes(notes) {}

    bool Build(const std::vector<Transition>& transitions, CMethodList& method) {
        const size_t before = m_problems.size();
        GroupByCompound(transitions);
        CheckTransitionNames(transitions);
        for (Compound& compound : m_compounds) ChooseQuantifying(compound);
        NameEntries();
        LinkStandards();
        if (m_options.followStandards) ChooseFollowedStandards();
        const bool ratios = IntensitiesCarryRatios(transitions);
        CheckRatios(ratios);
        if (m_problems.size() != before) return false;
        CMethodList built;
        for (const Compound& compound : m_compounds) built.Add(EntryOf(compound, ratios));
        method = built;
        return true;
    }

private:
    void Problem(int line, int column, const std::string& message) { m_problems.push_back({m_file, line, column, message}); }

    void GroupByCompound(const std::vector<Transition>& transitions) {
        std::map<std::pair<std::string, bool>, size_t> index;
        for (const Transition& t : transitions) {
            const auto key = std::make_pair(t.compound, t.heavy);
            auto found = index.find(key);
            if (found == index.end()) {
                found = index.emplace(key, m_compounds.size()).first;
                Compound compound;
                compound.listName = t.compound;
                compound.heavy = t.heavy;
                m_compounds.push_back(compound);
            }
            m_compounds[found->second].transitions.push_back(&t);
        }
    }

    void CheckTransitionNames(const std::vector<Transition>& transitions) {
        std::map<std::string, int> seen;
        for (const Transition& t : transitions) {
            if (t.transitionName.empty()) continue;
            const auto [at, fresh] = seen.emplace(t.transitionName, t.line);
            if (!fresh)
                Problem(t.line, t.nameColumn, "the transition name \"" + t.transitionName + "\" is already used on line " +
                                    std::to_string(at->second));
        }
    }

    void ChooseQuantifying(Compound& compound) {
        const std::string who = std::string(compound.heavy ? "heavy " : "") + "compound \"" + compound.listName + "\"";
        bool saidAnything = false;
        for (const Transition* t : compound.transitions) {
            saidAnything = saidAnything || t->quantifying >= 0;
            if (t->quantifying == 1 && compound.quantifying == nullptr) compound.quantifying = t;
        }
        // A list that does not say which transition quantifies: the most intense one does (the
        // first of equals), or the first when the list gives no intensities.
        if (!saidAnything) {
            compound.quantifying = compound.transitions.front();
            for (const Transition* t : compound.transitions)
                if (t->libraryIntensity > compound.quantifying->libraryIntensity) compound.quantifying = t;
        }
        if (compound.quantifying == nullptr) {
            const Transition& first = *compound.transitions.front();
            Problem(first.line, first.quantifyingColumn, who + " has no quantifying transition");
            return;
        }
        ChooseQualifiers(compound, who);
        std::map<std::string, int> traces;
        for (const Transition* t : compound.transitions) {
            const auto [at, fresh] = traces.emplace(TraceText(*t), t->line);
            if (!fresh)
                Problem(t->line, t->compoundColumn, who + " has the transition " + at->first + " twice (also on line " + std::to_string(at->second) + ")");
        }
        if (compound.quantifying->rt < 0.0) Problem(compound.quantifying->line, compound.quantifying->rtColumn, who + " has no retention time");
    }

    // A method entry holds a few qualifier ions; a compound with more (GC-MS SIM lists name up
    // to twenty) keeps the most intense ones, in list order, and a note names every ion left out.
    // Equal intensities (or none) keep the earlier ions: the list's order is the lab's choice.
    void ChooseQualifiers(Compound& compound, const std::string& who) {
        std::vector<const Transition*> others;
        for (const Transition* t : compound.transitions)
            if (t != compound.quantifying) others.push_back(t);
        const size_t keep = static_cast<size_t>(std::clamp(m_options.maxQualifiers, 0, kMaxQualifiers));
        if (others.size() <= keep) {
            compound.qualifiers = others;
            return;
        }
        std::vector<const Transition*> byIntensity = others;
        std::stable_sort(byIntensity.begin(), byIntensity.end(),
                         [](const Transition* a, const Transition* b) { return a->libraryIntensity > b->libraryIntensity; });
        const std::set<const Transition*> kept(byIntensity.begin(), byIntensity.begin() + static_cast<std::ptrdiff_t>(keep));
        std::string left;
        for (const Transition* t : others) {
            if (kept.count(t)) compound.qualifiers.push_back(t);
            else left += (left.empty() ? "" : ", ") + TraceText(*t) + " (line " + std::to_string(t->line) + ")";
        }
        m_notes.push_back({m_file, compound.transitions.front()->line, compound.transitions.front()->compoundColumn,
                           who + " has " + std::to_string(others.size()) + " qualifier ions; the " + std::to_string(keep) +
                               " most intense are kept (--qualifiers), left out: " + left});
    }

    const Compound* LightNamed(const std::string& name) const {
        for (const Compound& c : m_compounds)
            if (!c.heavy && c.listName == name) return &c;
        return nullptr;
    }

    // A heavy compound keeps its name unless a light one has it; then it is "name (heavy)".
    void NameEntries() {
        std::map<std::string, int> lines;
        for (Compound& compound : m_compounds) {
            compound.entryName = compound.listName + (compound.heavy && LightNamed(compound.listName) ? kHeavySuffix : "");
            const int line = compound.transitions.front()->line, column = compound.transitions.front()->compoundColumn;
            const auto [at, fresh] = lines.emplace(compound.entryName, line);
            if (compound.entryName.empty()) Problem(line, column, "the compound name is empty");
            else if (!fresh)
                Problem(line, column, "the compound name \"" + compound.entryName + "\" is already used on line " + std::to_string(at->second));
        }
    }

    // The compound an internal-standard cell names: a heavy compound of that name, an entry of
    // that name, or the compound of the transition of that name (labs pair by transition name,
    // "arg-L.arg-L_1.Heavy").
    int StandardNamed(const std::string& name) const {
        for (size_t i = 0; i < m_compounds.size(); ++i)
            if (m_compounds[i].heavy && m_compounds[i].listName == name) return static_cast<int>(i);
        for (size_t i = 0; i < m_compounds.size(); ++i)
            if (m_compounds[i].entryName == name) return static_cast<int>(i);
        for (size_t i = 0; i < m_compounds.size(); ++i)
            for (const Transition* t : m_compounds[i].transitions)
                if (t->transitionName == name) return static_cast<int>(i);
        return -1;
    }

    int HeavyNamed(const std::string& name) const {
        for (size_t i = 0; i < m_compounds.size(); ++i)
            if (m_compounds[i].heavy && m_compounds[i].listName == name) return static_cast<int>(i);
        return -1;
    }

    void LinkStandards() {
        for (Compound& compound : m_compounds) {
            if (compound.heavy) continue;
            compound.partner = HeavyNamed(compound.listName);
            const Transition* naming = nullptr;
            for (const Transition* t : compound.transitions)
                if (!t->internalStandard.empty()) {
                    naming = t;
                    break;
                }
            // The lab's own pairing, where the list gives one, over the labelled form of the same name.
            if (naming != nullptr) {
                compound.standard = StandardNamed(naming->internalStandard);
                if (compound.standard < 0 || &m_compounds[compound.standard] == &compound)
                    Problem(naming->line, naming->standardColumn, "the internal standard \"" + naming->internalStandard + "\" of compound \"" +
                                              compound.listName + "\" is not a compound of the list");
            } else {
                compound.standard = compound.partner;
            }
            if (compound.standard >= 0 && &m_compounds[compound.standard] != &compound)
                m_compounds[compound.standard].isStandardOfSomeone = true;
        }
        // Standards are measured against their own amount only: a chain of standards has no meaning.
        for (const Compound& compound : m_compounds)
            if (compound.isStandardOfSomeone && compound.standard >= 0)
                Problem(compound.transitions.front()->line, compound.transitions.front()->compoundColumn,
                        "compound \"" + compound.listName + "\" is an internal standard and has one of its own (\"" +
                            m_compounds[compound.standard].entryName + "\")");
        // A heavy compound with neither a light partner nor a compound that names it is most
        // often a misspelt name, which leaves a light compound without its standard: then it is
        // an error. When every light compound has its standard, it is a standard kept for its own
        // sake (a pooled one, say) and is imported.
        const Compound* unstandardised = nullptr;
        for (const Compound& compound : m_compounds)
            if (!compound.heavy && compound.standard < 0 && unstandardised == nullptr) unstandardised = &compound;
        for (const Compound& compound : m_compounds) {
            if (!compound.heavy || compound.isStandardOfSomeone || LightNamed(compound.listName)) continue;
            const int line = compound.transitions.front()->line;
            if (unstandardised != nullptr)
                Problem(line, compound.transitions.front()->compoundColumn, "heavy compound \"" + compound.listName + "\" has no light partner (and compound \"" +
                                  unstandardised->listName + "\" has no internal standard)");
            else
                m_notes.push_back({m_file, line, 0, "heavy compound \"" + compound.listName +
                                                        "\" has no light partner; it is imported as an internal standard no compound uses"});
        }
    }

    // Which standard each other compound's location follows: its labelled partner, which elutes
    // with it; else the standard whose listed time is nearest to its own (the earlier of equals),
    // since the drift of a run changes slowly along the run.
    void ChooseFollowedStandards() {
        for (Compound& compound : m_compounds) {
            if (compound.IsStandard() || compound.quantifying == nullptr) continue;
            if (compound.partner >= 0) {
                compound.follows = compound.partner;
                continue;
            }
            double nearest = 0.0;
            for (size_t i = 0; i < m_compounds.size(); ++i) {
                const Compound& standard = m_compounds[i];
                if (!standard.IsStandard() || standard.quantifying == nullptr || standard.quantifying->rt < 0.0) continue;
                const double distance = std::fabs(standard.quantifying->rt - compound.quantifying->rt);
                if (compound.follows < 0 || distance < nearest) {
                    compound.follows = static_cast<int>(i);
                    nearest = distance;
                }
            }
        }
    }

    // Lists made without a spectral library give every transition intensity 1: no ratio to expect.
    bool IntensitiesCarryRatios(const std::vector<Transition>& transitions) {
        bool any = false, allOne = true;
        for (const Transition& t : transitions)
            if (t.libraryIntensity >= 0.0) {
                any = true;
                allOne = allOne && t.libraryIntensity == 1.0;
            }
        if (any && allOne)
            m_notes.push_back({m_file, 0, 0, "every library intensity is 1, so no expected ion ratios are set"});
        return any && !allOne;
    }

    // The expected ratio of the quantifying to the qualifying response; 0 (no test) when either
    // intensity is missing or 0.
    static double IonRatio(const Transition& quan, const Transition& qualifier) {
        if (!(quan.libraryIntensity > 0.0 && qualifier.libraryIntensity > 0.0)) return 0.0;
        return RoundedRatio(quan.libraryIntensity / qualifier.libraryIntensity);
    }

    void CheckRatios(bool ratios) {
        if (!ratios) return;
        for (const Compound& compound : m_compounds) {
            if (compound.quantifying == nullptr) continue;
            for (const Transition* t : compound.qualifiers) {
                const double ratio = IonRatio(*compound.quantifying, *t);
                if (ratio != 0.0 && !(ratio >= kSmallestRatio && ratio <= 1.0 / kSmallestRatio))
                    Problem(t->line, t->compoundColumn, "the library intensities of this transition and the quantifying one (line " +
                                                            std::to_string(compound.quantifying->line) + ") give the ion ratio " +
                                                            NumberText(ratio) + ", beyond any that can be measured");
            }
        }
    }

    CMethodData EntryOf(const Compound& compound, bool ratios) const {
        const Transition& quan = *compound.quantifying;
        const bool standard = compound.IsStandard();
        CMethodData entry;
        entry.SetName(compound.entryName);
        entry.SetCalCompound(compound.entryName);
        entry.SetRepUnits(m_options.units);
        entry.SetLocateBy(kLocateByRT);
        entry.SetPredRT(static_cast<float>(quan.rt));
        double window = quan.rtWindow > 0.0 ? quan.rtWindow / 2.0 : m_options.rtWindow;
        if (m_options.followStandards && standard) {
            if (quan.rtWindow <= 0.0) window = m_options.standardWindow;
            entry.SetLocateChoice(m_options.standardChoice);
        }
        // A compound found beside its labelled partner needs only room for the apexes to differ.
        if (compound.follows >= 0 && compound.follows == compound.partner) window = m_options.partnerWindow;
        entry.SetLocateRTWin(static_cast<float>(window));
        entry.SetRRTRef(compound.follows >= 0 ? compound.follows + 1 : 0);
        entry.SetQuanTrace(TraceText(quan));
        entry.SetQuantificationTraces(1);
        entry.SetChroMassWindowAbs(1);
        entry.SetChroMassWindowABS(static_cast<float>(m_options.massWindow));
        entry.SetRAH(m_options.responseBasis);
        int slot = 0;
        for (const Transition* t : compound.qualifiers) {
            entry.SetTargetTrace(slot, TraceText(*t));
            entry.SetTargetWindow(slot, m_options.ratioWindow);
            if (ratios) entry.SetTargetRatio(slot, IonRatio(quan, *t));
            ++slot;
        }
        if (standard) {
            entry.SetFlags("ISTD");
            entry.SetRCalc(kResponseExternalStd);  // a standard's response is its own
            entry.SetCCalc(kCurveRF);
            entry.SetStdLevels(kStdLevelFixed);
            entry.SetStdConc(m_options.standardConc);
        } else {
            entry.SetRCalc(compound.standard >= 0 ? kResponseInternalStd : kResponseExternalStd);
            entry.SetRRef(compound.standard >= 0 ? compound.standard + 1 : 0);
            entry.SetCCalc(m_options.curveType);
            entry.SetStdLevels(kStdLevelA);
            entry.SetWeightingFunction(m_options.weighting);
            entry.SetOrigin(m_options.origin);
            entry.SetXYTrans(m_options.axisTransform);
        }
        return entry;
    }

    const std::string& m_file;
    const ImportOptions& m_options;
    Problems& m_problems;
    Problems& m_notes;
    std::vector<Compound> m_compounds;
};

}  // namespace

bool ReadTransitions(const std::string& file, const std::string& text, const ImportOptions& options,
                     std::vector<Transition>& transitions, Problems& problems, Problems& notes) {
    const size_t before = problems.size();
    std::vector<Csv::Row> rows;
    std::string error;
    if (!Csv::Parse(text, rows, error, SeparatorOf(text))) {
        problems.push_back({file, 0, 0, error});
        return false;
    }
    if (rows.empty()) {
        problems.push_back({file, 0, 0, "is empty"});
        return false;
    }
    struct Column {
        int index = -1;
        TimeUnit unit = TimeUnit::kColumn;
        std::string header;
    };
    std::map<Meaning, Column> columns;
    std::map<Meaning, size_t> rank;  // the alias's place in the table: earlier wins
    std::string unused;
    const Csv::Row& header = rows[0];
    for (size_t c = 0; c < header.cells.size(); ++c) {
        TimeUnit stated = TimeUnit::kColumn;
        const std::string key = ColumnKey(header.cells[c], stated);
        size_t a = 0;
        while (a < std::size(kColumnAliases) && key != kColumnAliases[a].name) ++a;
        if (a == std::size(kColumnAliases)) {
            if (!key.empty()) unused += (unused.empty() ? "" : ", ") + Csv::Trim(header.cells[c]);
            continue;
        }
        const Meaning meaning = kColumnAliases[a].meaning;
        if (meaning == Meaning::kKnownUnused || (rank.count(meaning) && rank[meaning] <= a)) continue;
        rank[meaning] = a;
        columns[meaning] = {static_cast<int>(c), stated != TimeUnit::kColumn ? stated : kColumnAliases[a].unit,
                            Csv::Trim(header.cells[c])};
    }
    for (Meaning required : kRequired)
        if (!columns.count(required))
            problems.push_back({file, header.line, 0, std::string("no column gives the ") + MeaningText(required) +
                                                          " (its names, ignoring case: " + AliasesOf(required) + ")"});
    if (problems.size() != before) return false;
    if (!unused.empty()) notes.push_back({file, header.line, 0, "columns not used: " + unused});
    for (Meaning timed : {Meaning::kRetentionTime, Meaning::kRetentionTimeWindow}) {
        if (!columns.count(timed)) continue;
        Column& column = columns[timed];
        if (options.rtUnit != TimeUnit::kColumn) column.unit = options.rtUnit;
        notes.push_back({file, header.line, column.index + 1,
                         std::string(MeaningText(timed)) + "s read from \"" + column.header + "\" in " +
                             (column.unit == TimeUnit::kSeconds ? "seconds" : "minutes") + " (--rt-unit to change)"});
    }

    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        auto has = [&](Meaning m) { return columns.count(m) && columns[m].index < static_cast<int>(row.cells.size()); };
        auto cell = [&](Meaning m) { return has(m) ? Csv::Trim(row.cells[columns[m].index]) : std::string(); };
        auto at = [&](Meaning m) { return columns.count(m) ? columns[m].index + 1 : 0; };
        auto bad = [&](Meaning m, const std::string& what) {
            // Built piece by piece: g++ 12 warns falsely (-Wrestrict) on "text" + a temporary.
            std::string message = "\"";
            message += cell(m);
            message += "\" is not ";
            message += what;
            problems.push_back({file, row.line, at(m), message});
        };
        if (row.cells.size() > header.cells.size()) {
            problems.push_back({file, row.line, 0, "has " + std::to_string(row.cells.size()) + " cells, the header " +
                                                       std::to_string(header.cells.size())});
            continue;
        }
        int decoy = 0;
        if (!cell(Meaning::kDecoy).empty() && !ToSwitch(cell(Meaning::kDecoy), decoy)) bad(Meaning::kDecoy, "true or false");
        if (decoy == 1) continue;  // decoys exist for false-discovery estimates, not for quantification
        Transition t;
        t.line = row.line;
        t.compoundColumn = at(Meaning::kCompound);
        t.nameColumn = at(Meaning::kTransitionName);
        t.quantifyingColumn = at(Meaning::kQuantifying);
        t.rtColumn = at(Meaning::kRetentionTime);
        t.standardColumn = at(Meaning::kInternalStandard);
        t.compound = cell(Meaning::kCompound);
        t.transitionName = cell(Meaning::kTransitionName);
        t.label = cell(Meaning::kLabel);
        t.internalStandard = cell(Meaning::kInternalStandard);
        t.heavy = IsHeavyLabel(t.label) || IsStandardNote(cell(Meaning::kNote));
        if (t.compound.empty()) problems.push_back({file, row.line, at(Meaning::kCompound), "the compound name is empty"});
        if (!ToNumber(cell(Meaning::kPrecursorMz), t.precursor) || t.precursor <= 0.0) bad(Meaning::kPrecursorMz, "a precursor m/z");
        const std::string product = cell(Meaning::kProductMz);
        if (!product.empty() && (!ToNumber(product, t.product) || t.product < 0.0)) bad(Meaning::kProductMz, "a product m/z");
        if (!cell(Meaning::kRetentionTime).empty() &&
            (!ToTime(cell(Meaning::kRetentionTime), columns[Meaning::kRetentionTime].unit, t.rt) || t.rt < 0.0)) {
            bad(Meaning::kRetentionTime, "a retention time");
            t.rt = -1.0;
        }
        if (!cell(Meaning::kRetentionTimeWindow).empty() &&
            (!ToTime(cell(Meaning::kRetentionTimeWindow), columns[Meaning::kRetentionTimeWindow].unit, t.rtWindow) ||
             t.rtWindow <= 0.0)) {
            bad(Meaning::kRetentionTimeWindow, "a retention-time window above 0");
            t.rtWindow = -1.0;
        }
        if (!cell(Meaning::kLibraryIntensity).empty() &&
            (!ToNumber(cell(Meaning::kLibraryIntensity), t.libraryIntensity) || t.libraryIntensity < 0.0))
            bad(Meaning::kLibraryIntensity, "a library intensity");
        if (!cell(Meaning::kQuantifying).empty() && !ToSwitch(cell(Meaning::kQuantifying), t.quantifying))
            bad(Meaning::kQuantifying, "true or false");
        transitions.push_back(t);
    }
    if (transitions.empty() && problems.size() == before) problems.push_back({file, 0, 0, "has no transitions"});
    return problems.size() == before;
}

bool BuildMethod(const std::string& file, const std::vector<Transition>& transitions, const ImportOptions& options,
                 CMethodList& method, Problems& problems, Problems& notes) {
    return MethodBuilder(file, options, problems, notes).Build(transitions, method);
}

bool ImportTransitionList(const std::string& path, const ImportOptions& options, CMethodList& method,
                          Problems& problems, Problems& notes) {
    std::string text;
    if (!Csv::ReadFile(path, text)) {
        problems.push_back({path, 0, 0, "cannot be read"});
        return false;
    }
    std::vector<Transition> transitions;
    return ReadTransitions(path, text, options, transitions, problems, notes) &&
           BuildMethod(path, transitions, options, method, problems, notes);
}

std::string RecognisedColumnsText() {
    std::string text;
    for (const ColumnAlias& alias : kColumnAliases) {
        if (alias.meaning == Meaning::kKnownUnused) continue;
        text += (text.empty() ? "" : ", ") + std::string(alias.name);
    }
    return "recognised columns, ignoring case: " + text;
}

// --- export ---------------------------------------------------------------------------------

namespace {

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

bool IsReferencedStandard(const CMethodList& method, int index) {
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        if (entry.GetUseMulti() == 0 && entry.GetRRef() == index + 1 && i != index) return true;
    }
    return false;
}

bool HasEntryNamed(const CMethodList& method, const std::string& name) {
    for (int i = 0; i < method.GetSize(); ++i)
        if (method.GetAt(i).GetName() == name) return true;
    return false;
}

// Splits "Q1>Q3" or "Q1" into masses; false for a channel name.
bool TraceMasses(const std::string& trace, std::string& precursor, std::string& product) {
    const size_t arrow = trace.find('>');
    precursor = Csv::Trim(trace.substr(0, arrow));
    product = arrow == std::string::npos ? std::string() : Csv::Trim(trace.substr(arrow + 1));
    double mass = 0.0;
    return ToNumber(precursor, mass) && (product.empty() || ToNumber(product, mass));
}

// A time the method holds in single precision, as the shortest text that import reads back as
// the same value: printing the double of a float writes noise ("205.20000457763672" for
// 3.42 min). `halved` reads it back as a full window, whose half the entry holds.
std::string TimeText(float held, double scale, bool halved = false) {
    const double exact = static_cast<double>(held) * (halved ? 2.0 : 1.0) * scale;
    const auto readsBack = [&](const std::string& candidate) {
        double minutes = 0.0;
        if (!(scale == 1.0 ? ToMinutes(candidate, minutes) : ToTime(candidate, TimeUnit::kSeconds, minutes))) return false;
        return static_cast<float>(halved ? minutes / 2.0 : minutes) == held;
    };
    // Decimals first (times read as "90", not "9e+01"), then significant digits for the rest.
    for (const std::chars_format format : {std::chars_format::fixed, std::chars_format::general})
        for (int digits = format == std::chars_format::fixed ? 0 : 1; digits <= 17; ++digits) {
            char text[64];
            auto [end, error] = std::to_chars(text, text + sizeof text, exact, format, digits);
            if (error == std::errc() && readsBack(std::string(text, end))) return std::string(text, end);
        }
    return NumberText(exact);
}

}  // namespace

std::string TransitionListText(const CMethodList& method, ListStyle style, TimeUnit rtUnit, Problems& notes) {
    const bool openSwath = style == ListStyle::kOpenSwath;
    const double timeScale = openSwath && rtUnit != TimeUnit::kMinutes ? kSecondsPerMinute : 1.0;
    const std::string timeUnit = timeScale == 1.0 ? "min" : "s";
    std::string text = openSwath ? "transition_group_id,transition_name,PrecursorMz,ProductMz,RetentionTime (" + timeUnit +
                                       "),RetentionTimeWindow (" + timeUnit +
                                       "),LibraryIntensity,LabelType,quantifying_transition,InternalStandard\n"
                                 : "Molecule Name,Precursor m/z,Product m/z,Explicit Retention Time,Explicit Retention Time Window,"
                                   "Library Intensity,Label Type,Quantitative,Internal Standard\n";
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        const bool standard = IsReferencedStandard(method, i) || WordMatch::ListsShareWord(entry.GetFlags(), "ISTD");
        std::string listName = entry.GetName();
        const size_t suffix = listName.size() >= std::char_traits<char>::length(kHeavySuffix)
                                  ? listName.size() - std::char_traits<char>::length(kHeavySuffix) : std::string::npos;
        if (standard && suffix != std::string::npos && listName.compare(suffix, std::string::npos, kHeavySuffix) == 0 &&
            HasEntryNamed(method, listName.substr(0, suffix)))
            listName.erase(suffix);
        auto note = [&](const std::string& what) {
            notes.push_back({"", 0, 0, "entry " + std::to_string(i + 1) + " (" + entry.GetName() + "): " + what});
        };
        if (!entry.GetTotalsGroup().empty() || !entry.GetTotalsGroupByRef().empty())
            note("its totals group is not written (a transition list has no place for it)");
        if (!listName.empty() && listName[0] == '#') note("its name starts with '#', which list readers take for a comment");
        if (entry.GetUseMulti() != 0) note("its internal standards by list index (IStd) are not written; only RRef is");
        if (entry.GetLocateBy() != kLocateByRT) note("it is located by " + Keywords::SettingText("LocateBy", entry.GetLocateBy()) +
                                           "; the list gives its retention time PredRT, which import locates by");
        const int rref = entry.GetUseMulti() == 0 ? entry.GetRRef() : 0;
        const std::string internalStandard = rref >= 1 && rref <= method.GetSize() && rref != i + 1 ? method.GetAt(rref - 1).GetName() : "";
        bool anyRatio = false;
        for (int k = 0; k < kMaxQualifiers; ++k) anyRatio = anyRatio || entry.GetTargetRatio(k) > 0.0;
        struct Row { std::string trace; double intensity; bool quantifying; };
        std::vector<Row> traces = {{entry.GetQuanTrace(), anyRatio ? kExportedQuanIntensity : -1.0, true}};
        for (int k = 0; k < kMaxQualifiers; ++k)
            if (!entry.GetTargetTrace(k).empty())
                traces.push_back({entry.GetTargetTrace(k),
                                  entry.GetTargetRatio(k) > 0.0 ? kExportedQuanIntensity / entry.GetTargetRatio(k) : -1.0, false});
        for (size_t n = 0; n < traces.size(); ++n) {
            std::string precursor, product;
            if (!TraceMasses(traces[n].trace, precursor, product)) {
                note("its trace \"" + traces[n].trace + "\" is a channel name, which has no m/z to write");
                continue;
            }
            const std::string label = standard ? "heavy" : "light";
            std::vector<std::string> cells;
            if (openSwath)
                cells = {listName, listName + "_" + std::to_string(n + 1) + (standard ? ".heavy" : ".light")};
            else
                cells = {listName};
            cells.push_back(precursor);
            cells.push_back(product);
            cells.push_back(TimeText(entry.GetPredRT(), timeScale));
            cells.push_back(TimeText(entry.GetLocateRTWin(), timeScale, true));
            cells.push_back(traces[n].intensity >= 0.0 ? NumberText(traces[n].intensity) : "");
            cells.push_back(openSwath ? (standard ? "Heavy" : "Light") : label);
            cells.push_back(traces[n].quantifying ? (openSwath ? "TRUE" : "True") : (openSwath ? "FALSE" : "False"));
            cells.push_back(internalStandard);
            for (size_t c = 0; c < cells.size(); ++c) {
                if (c > 0) text += ',';
                text += CsvCell(cells[c]);
            }
            text += "\n";
        }
    }
    return text;
}

}  // namespace MethodTools
