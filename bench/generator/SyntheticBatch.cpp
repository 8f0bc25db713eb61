// The synthetic method, its samples and batch folders. Transitions are laid out so that about
// two and a half compounds share each precursor mass (as isobaric residues do) while every
// precursor/product pair stays unique; interferences sit on the method's own transitions, a
// fifth of them close to the compound's retention time, so the location scan has real
// competitors to reject.
#include "bench/generator/SyntheticBatch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace bench {

namespace {
constexpr double kFirstPrecursor = 100.1;
constexpr double kFirstProduct = 40.1;
constexpr double kProductStepPerCompound = 60.0;
constexpr double kProductStepPerSlot = 17.0;
constexpr float kFirstRT = 2.0f;
constexpr float kLastRT = 40.0f;
constexpr double kStandardLevels[] = {1.0, 2.0, 5.0, 10.0, 20.0, 50.0};
constexpr double kQCLevels[] = {8.0, 30.0};
constexpr double kUnrelatedShare = 0.15;
constexpr double kNearCompoundShare = 0.2;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

double Rounded(double value, double scale) { return std::round(value * scale) / scale; }

const char* KindText(SampleKind kind) {
    switch (kind) {
    case SampleKind::Standard: return "Standard";
    case SampleKind::QC: return "QC";
    case SampleKind::Blank: return "Blank";
    case SampleKind::Analyte: return "Analyte";
    }
    return "Analyte";
}
}  // namespace

uint64_t Random::Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::Uniform(double low, double high) {
    return low + (high - low) * (static_cast<double>(Next() >> 11) * 0x1.0p-53);
}

int Random::Below(int count) { return count <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(count)); }

SyntheticMethod::SyntheticMethod(int entries, int qualifiers, uint64_t seed)
    : m_qualifiers(std::clamp(qualifiers, 0, 2)), m_seed(seed) {
    Random random(seed);
    const int n = std::max(entries, 1);
    const int standards = std::max(1, n / 25);
    m_compounds.resize(n);
    for (int i = 0; i < n; ++i) {
        Compound& c = m_compounds[i];
        c.internalStandard = i < standards;
        char name[32];
        std::snprintf(name, sizeof name, c.internalStandard ? "ISTD-%03d" : "Residue-%04d", i + 1);
        c.name = name;
        // Standards spread evenly over the run; each analyte refers to the nearest one.
        c.predictedRT = c.internalStandard
                            ? kFirstRT + (kLastRT - kFirstRT) * (i + 0.5f) / standards
                            : static_cast<float>(Rounded(random.Uniform(kFirstRT, kLastRT), 100.0));
        c.quan = MakeTrace(i, 0);
        for (int k = 0; k < m_qualifiers; ++k) {
            c.qualifiers.push_back(MakeTrace(i, k + 1));
            c.ratios.push_back(Rounded(random.Uniform(0.4, 3.0), 100.0));
        }
        c.sensitivity = Rounded(random.Uniform(0.3, 1.5), 1000.0);
    }
    for (Compound& c : m_compounds) {
        if (c.internalStandard) continue;
        const float position = (c.predictedRT - kFirstRT) / (kLastRT - kFirstRT) * standards;
        c.internalStandardEntry = std::clamp(static_cast<int>(position), 0, standards - 1) + 1;
    }
    m_traceCount = n * (1 + m_qualifiers);
}

Trace SyntheticMethod::MakeTrace(int entryIndex, int slot) {
    const int n = static_cast<int>(m_compounds.size());
    const int precursors = std::max(1, (2 * n) / 5);
    const double precursor = kFirstPrecursor + entryIndex % precursors;
    const double product = kFirstProduct + (entryIndex / precursors) * kProductStepPerCompound + slot * kProductStepPerSlot;
    Trace trace;
    trace.text = Format("%.1f", precursor) + ">" + Format("%.1f", product);
    trace.id = entryIndex * 3 + slot;
    return trace;
}

std::string SyntheticMethod::MethodXML() const {
    std::string xml = "<?xml version=\"1.0\"?>\n<METHODLIST>\n";
    for (const Compound& c : m_compounds) {
        xml += "  <METHODENTRY Name=\"" + c.name + "\" CalCompound=\"" + c.name + "\" LocateBy=\"1\" PredRT=\"" +
               Format("%.2f", c.predictedRT) + "\" LocateRTWin=\"" + Format("%.2f", kLocateWindow) +
               "\" QuanTrace=\"" + c.quan.text + "\" QuantificationTraces=\"1\" RAH=\"0\"";
        for (size_t k = 0; k < c.qualifiers.size(); ++k) {
            const std::string n = std::to_string(k);
            xml += " TargetTrace" + n + "=\"" + c.qualifiers[k].text + "\" TargetRatio" + n + "=\"" +
                   Format("%.2f", c.ratios[k]) + "\" TargetWindow" + n + "=\"" +
                   std::to_string(kIonRatioWindowPercent) + "\" TargetRTWin" + n + "=\"" +
                   Format("%.2f", kQualifierWindow) + "\"";
        }
        if (c.internalStandard) {
            xml += " RCalc=\"0\" StdLevels=\"0\" StdConc=\"" + Format("%.1f", kInternalStandardConc) +
                   "\" CCalc=\"0\" Flags=\"ISTD\"";
        } else {
            xml += " RCalc=\"1\" RRef=\"" + std::to_string(c.internalStandardEntry) +
                   "\" StdLevels=\"2\" CCalc=\"1\" WeightingFunction=\"1\" Origin=\"0\" XYTrans=\"0\""
                   " MaxConcLimit=\"50.0\" ConcLimitFlag=\"1\"";
        }
        xml += " RepUnits=\"ng/mL\"/>\n";
    }
    return xml + "</METHODLIST>\n";
}

CMethodList SyntheticMethod::MethodList() const {
    CMethodList methods;
    methods.ReadXML(MethodXML());
    return methods;
}

double SyntheticMethod::ConcentrationIn(const SamplePlan& sample, int entryIndex, Random& random) const {
    if (m_compounds[entryIndex].internalStandard) return kInternalStandardConc;
    switch (sample.kind) {
    case SampleKind::Standard:
    case SampleKind::QC: return sample.level;
    case SampleKind::Blank: return 0.0;
    case SampleKind::Analyte: return Rounded(random.Uniform(0.5, 40.0), 100.0);
    }
    return 0.0;
}

std::vector<PeakRow> SyntheticMethod::SamplePeaks(const SamplePlan& sample, int peakCount) const {
    Random random(m_seed ^ (0x5851F42D4C957F2Dull * (static_cast<uint64_t>(sample.index) + 1)));
    const int n = Entries();
    const int perCompound = 1 + m_qualifiers;
    const bool everyCompound = sample.kind == SampleKind::Standard || sample.kind == SampleKind::QC;

    // Which compounds the sample holds: standards all of them, others a third of the peaks.
    std::vector<int> present;
    std::vector<int> analytes;
    for (int i = 0; i < n; ++i) (m_compounds[i].internalStandard ? present : analytes).push_back(i);
    if (sample.kind != SampleKind::Blank) {
        const int wanted = everyCompound ? n : std::clamp(peakCount / 3 / perCompound, 0, n);
        const int more = std::clamp(wanted - static_cast<int>(present.size()), 0, static_cast<int>(analytes.size()));
        for (int k = 0; k < more; ++k) std::swap(analytes[k], analytes[k + random.Below(static_cast<int>(analytes.size()) - k)]);
        present.insert(present.end(), analytes.begin(), analytes.begin() + more);
    }

    std::vector<double> standardArea(n + 1, 0.0);
    for (int i : present)
        if (m_compounds[i].internalStandard) standardArea[i + 1] = Rounded(50000.0 * random.Uniform(0.92, 1.08), 10.0);

    std::vector<PeakRow> rows;
    rows.reserve(std::max<size_t>(peakCount, present.size() * perCompound));
    for (int i : present) {
        const Compound& c = m_compounds[i];
        const double conc = ConcentrationIn(sample, i, random);
        if (conc <= 0.0) continue;
        const double area = c.internalStandard
                                ? standardArea[i + 1]
                                : Rounded(c.sensitivity * conc * standardArea[c.internalStandardEntry] /
                                              kInternalStandardConc, 10.0);
        PeakRow main;
        main.trace = c.quan;
        main.foundRT = static_cast<float>(Rounded(c.predictedRT + random.Uniform(-0.02, 0.02), 1e4));
        main.area = area;
        main.height = Rounded(area / 4.2, 10.0);
        main.chromNoise = 45.0;
        rows.push_back(main);
        for (size_t k = 0; k < c.qualifiers.size(); ++k) {
            PeakRow qualifier = main;
            qualifier.trace = c.qualifiers[k];
            qualifier.foundRT = static_cast<float>(Rounded(main.foundRT + 0.002, 1e4));
            qualifier.area = Rounded(area / c.ratios[k] * random.Uniform(0.95, 1.05), 10.0);
            qualifier.height = Rounded(qualifier.area / 4.2, 10.0);
            qualifier.integratedAs = static_cast<int>(k) + 1;
            rows.push_back(qualifier);
        }
    }

    while (static_cast<int>(rows.size()) < peakCount) {
        PeakRow peak;
        const int entry = random.Below(n);
        const Compound& c = m_compounds[entry];
        if (random.Chance(kUnrelatedShare)) {
            peak.trace.text = Format("%.1f", 600.1 + random.Below(200)) + ">" + Format("%.1f", 50.1 + random.Below(50));
        } else {
            const int slot = random.Below(1 + m_qualifiers);
            peak.trace = slot == 0 ? c.quan : c.qualifiers[slot - 1];
            peak.integratedAs = slot;
        }
        const double rt = random.Chance(kNearCompoundShare) ? c.predictedRT + random.Uniform(-0.3, 0.3)
                                                            : random.Uniform(kFirstRT - 0.5, kLastRT + 2.0);
        peak.foundRT = static_cast<float>(Rounded(rt, 1e4));
        peak.area = Rounded(random.Uniform(500.0, 20000.0), 10.0);
        peak.height = Rounded(peak.area / 4.2, 10.0);
        peak.chromNoise = 45.0;
        rows.push_back(peak);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const PeakRow& a, const PeakRow& b) { return a.foundRT < b.foundRT; });
    return rows;
}

CPeakList SyntheticMethod::PeakList(const std::vector<PeakRow>& rows) {
    CPeakList peaks;
    CPeakData peak;
    for (size_t j = 0; j < rows.size(); ++j) {
        const PeakRow& row = rows[j];
        peak.Initialise();
        peak.SetQuanTrace(row.trace.text);
        peak.SetFoundRT(row.foundRT);
        peak.SetStartRT(row.foundRT - 0.03f);
        peak.SetEndRT(row.foundRT + 0.04f);
        peak.SetStHeight(Rounded(row.height * 0.01, 10.0));
        peak.SetEnHeight(Rounded(row.height * 0.012, 10.0));
        peak.SetArea(row.area);
        peak.SetHeight(row.height);
        peak.SetChromNoise(row.chromNoise);
        peak.SetMDBIntegrateEntryPeak(row.integratedAs);
        peak.SetID(static_cast<int>(j) + 1);  // as the batch tool numbers the rows of a peak file
        peaks.Add(peak);
    }
    return peaks;
}

std::string SyntheticMethod::PeakFileCSV(const std::vector<PeakRow>& rows) {
    std::string csv = "QuanTrace,FoundRT,StartRT,EndRT,StHeight,EnHeight,Area,Height,ChromNoise,MDBIntegrateEntryPeak\n";
    char line[256];
    for (const PeakRow& row : rows) {
        std::snprintf(line, sizeof line, "%s,%.4f,%.4f,%.4f,%.1f,%.1f,%.1f,%.1f,%.1f,%d\n", row.trace.text.c_str(),
                      row.foundRT, row.foundRT - 0.03f, row.foundRT + 0.04f, Rounded(row.height * 0.01, 10.0),
                      Rounded(row.height * 0.012, 10.0), row.area, row.height, row.chromNoise, row.integratedAs);
        csv += line;
    }
    return csv;
}

CCalibrationList SyntheticMethod::EmptyCurves() const {
    CCalibrationList curves;
    for (const Compound& c : m_compounds) {
        CCalibrationData curve;
        curve.SetName(c.name);
        curve.SetCCalc(c.internalStandard ? kCurveRF : kCurveLinear);
        curve.SetOrigin(kOriginInclude);
        curve.SetWeightingFunction(c.internalStandard ? kWeightNone : kWeightInverseX);
        curves.Add(curve);
    }
    return curves;
}

std::vector<SamplePlan> BatchPlan(int count) {
    std::vector<SamplePlan> plan;
    char id[32];
    for (double level : kStandardLevels) {
        std::snprintf(id, sizeof id, "STD-%02d", static_cast<int>(plan.size()) + 1);
        plan.push_back({id, SampleKind::Standard, level, static_cast<int>(plan.size())});
    }
    plan.push_back({"BLANK-01", SampleKind::Blank, 0.0, static_cast<int>(plan.size())});
    int analytes = 0, qcs = 0;
    while (static_cast<int>(plan.size()) < count) {
        if (analytes > 0 && analytes % 10 == 0 && plan.back().kind != SampleKind::QC) {
            std::snprintf(id, sizeof id, "QC-%03d", ++qcs);
            plan.push_back({id, SampleKind::QC, kQCLevels[qcs % 2], static_cast<int>(plan.size())});
            continue;
        }
        std::snprintf(id, sizeof id, "SAMPLE-%04d", ++analytes);
        plan.push_back({id, SampleKind::Analyte, 0.0, static_cast<int>(plan.size())});
    }
    return plan;
}

namespace {
bool WriteText(const std::filesystem::path& path, const std::string& text, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) error = "cannot write " + path.string();
    return static_cast<bool>(out);
}
}  // namespace

bool WriteBatchFolder(const std::string& folder, const SyntheticMethod& method, int samples, int peaksPerSample,
                      std::string& error) {
    namespace fs = std::filesystem;
    std::error_code code;
    fs::create_directories(fs::path(folder) / "peaks", code);
    if (code) {
        error = "cannot create " + folder + "/peaks: " + code.message();
        return false;
    }
    if (!WriteText(fs::path(folder) / "method.xml", method.MethodXML(), error)) return false;
    std::string batch = "SampleID,PeakFile,Type,ConcA,Description\n";
    for (const SamplePlan& sample : BatchPlan(samples)) {
        const std::string level = sample.level > 0.0 ? Format("%g", sample.level) : "";
        batch += sample.id + ",peaks/" + sample.id + ".csv," + KindText(sample.kind) + "," + level + ",synthetic\n";
        const std::string peaks = SyntheticMethod::PeakFileCSV(method.SamplePeaks(sample, peaksPerSample));
        if (!WriteText(fs::path(folder) / "peaks" / (sample.id + ".csv"), peaks, error)) return false;
    }
    return WriteText(fs::path(folder) / "batch.csv", batch, error);
}

}  // namespace bench
