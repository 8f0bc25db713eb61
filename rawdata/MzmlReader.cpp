// The mzML reader: one pass of libxml2's streaming reader over the file, indexed or not (the
// index is not needed when every chromatogram is read in order). Only the elements that carry
// what a chromatogram needs are looked at: chromatogram and spectrum headers, precursor and
// product isolation windows, selected ions, scan start times and scan windows, and the binary
// data arrays with their encoding. A chromatogram or spectrum no request wants is skipped
// before its arrays are decoded, and only the chromatograms kept stay in memory, so memory
// follows what the method asks for, not the size of the file.
//
// Spectra become extracted-ion chromatograms (ExtractedIonTraces.h) for the requests no
// chromatogram of the file answers.
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/NumberText.h"
#include "rawdata/BinaryArray.h"
#include "rawdata/RawDataReader.h"
#include "rawdata/ReadSupport.h"
#include "rawdata/ExtractedIonTraces.h"

namespace RawData {
namespace {

// The elements the reader acts on; everything else is passed through.
enum class Element {
    Other,
    Root,  // mzML or indexedmzML
    Chromatogram,
    Spectrum,
    Precursor,
    Product,
    IsolationWindow,
    SelectedIon,
    Scan,
    ScanWindow,
    BinaryDataArrayList,
    BinaryDataArray,
    Binary,
    CvParam,
    ParamGroupRef,
    ParamGroup,
};

struct ElementName {
    const char* name;
    Element element;
};

constexpr ElementName kElements[] = {
    {"cvParam", Element::CvParam},
    {"binary", Element::Binary},
    {"binaryDataArray", Element::BinaryDataArray},
    {"binaryDataArrayList", Element::BinaryDataArrayList},
    {"chromatogram", Element::Chromatogram},
    {"spectrum", Element::Spectrum},
    {"precursor", Element::Precursor},
    {"product", Element::Product},
    {"isolationWindow", Element::IsolationWindow},
    {"selectedIon", Element::SelectedIon},
    {"scan", Element::Scan},
    {"scanWindow", Element::ScanWindow},
    {"referenceableParamGroupRef", Element::ParamGroupRef},
    {"referenceableParamGroup", Element::ParamGroup},
    {"mzML", Element::Root},
    {"indexedmzML", Element::Root},
};

Element Classify(const xmlChar* name) {
    for (const ElementName& known : kElements)
        if (std::strcmp(reinterpret_cast<const char*>(name), known.name) == 0) return known.element;
    return Element::Other;
}

enum class ArrayKind { Other, Time, Intensity, Mz };

// Minutes per unit of the unit-ontology time units.
struct TimeUnit {
    std::string_view accession;
    double minutes;
};
constexpr TimeUnit kTimeUnits[] = {
    {"UO:0000031", 1.0},
    {"UO:0000010", 1.0 / 60.0},
    {"UO:0000032", 60.0},
    {"UO:0000028", 1.0 / 60000.0},
};

// Minutes per unit, 0 for a missing unit and -1 for one that is not a time.
double MinutesPer(std::string_view unitAccession) {
    if (unitAccession.empty()) return 0.0;
    for (const TimeUnit& unit : kTimeUnits)
        if (unit.accession == unitAccession) return unit.minutes;
    return -1.0;
}

// PSI-MS terms the reader acts on.
constexpr std::string_view kTimeArray = "MS:1000595";
constexpr std::string_view kIntensityArray = "MS:1000515";
constexpr std::string_view kMzArray = "MS:1000514";
constexpr std::string_view kIsolationTarget = "MS:1000827";
constexpr std::string_view kSelectedIonMz = "MS:1000744";
constexpr std::string_view kScanStartTime = "MS:1000016";
constexpr std::string_view kScanWindowLower = "MS:1000501";
constexpr std::string_view kScanWindowUpper = "MS:1000500";
constexpr std::string_view kMsLevel = "MS:1000511";
constexpr std::string_view kSimSpectrum = "MS:1000582";

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Param {
    std::string accession;
    std::string value;
    std::string unitAccession;
};

double ParseDouble(std::string_view text, bool& ok) {
    double value = 0.0;
    ok = NumberText::Read(text, value) && std::isfinite(value);
    return ok ? value : 0.0;
}

long long ParseCount(std::string_view text, bool& ok) {
    long long value = 0;
    ok = NumberText::Read(text, value) && value >= 0;
    return ok ? value : 0;
}

// The number after "key=" in a native id ("function=2 process=0 scan=14"), or 0.
int NativeIdNumber(const std::string& id, std::string_view key) {
    size_t at = 0;
    while ((at = id.find(key, at)) != std::string::npos) {
        const bool starts = at == 0 || id[at - 1] == ' ';
        at += key.size();
        if (!starts || at >= id.size() || !NumberText::IsDigitAscii(id[at])) continue;
        long long value = 0;
        if (NumberText::ReadLeading(std::string_view(id).substr(at), value) > 0 && value > 0 &&
            value <= std::numeric_limits<int>::max())
            return static_cast<int>(value);
    }
    return 0;
}

// What the reader knows of the chromatogram or spectrum it is in.
struct Record {
    bool active = false;
    bool spectrum = false;
    std::string id;
    long long index = -1;
    long long defaultLength = -1;
    int line = 0;
    double precursorMz = 0.0;
    double selectedIonMz = 0.0;
    double productMz = 0.0;
    int msLevel = 0;
    bool sim = false;
    double time = 0.0;
    double timeMinutesPer = -2.0;  // -2 until a scan start time is seen
    std::vector<std::pair<double, double>> scanWindows;
    bool decided = false;
    bool wanted = false;
    bool failed = false;
    bool haveX = false;  // time array (chromatogram) or m/z array (spectrum)
    bool haveY = false;
    double xMinutesPer = 1.0;
    std::vector<double> x;
    std::vector<double> y;
};

struct ArrayState {
    ArrayEncoding encoding;
    ArrayKind kind = ArrayKind::Other;
    std::string unitAccession;
    long long length = -1;
    std::string text;
    bool haveBinary = false;
    int line = 0;
};

class MzmlReader {
public:
    MzmlReader(const std::string& name, const std::vector<TraceRequest>& requests, const ReadOptions& options,
               ReadResult& result)
        : m_problems(name, result.problems), m_chooser(requests, options), m_result(result),
          m_spectra(requests) {}

    void Read(xmlTextReaderPtr reader);
    void XmlError(const char* message, int line);

private:
    bool Node(xmlTextReaderPtr reader);  // true: skip the current element's subtree
    bool StartElement(Element element, xmlTextReaderPtr reader);
    void EndElement(Element element);
    void ReadParam(xmlTextReaderPtr reader, Param& param);
    void ApplyParam(const Param& param, Element context);
    bool DecideWanted();
    void EndArray();
    void EndRecord();
    void EndChromatogram();
    void EndSpectrum();
    void Finish();
    // Records a problem of the current record, at `line` (0: the node being read).
    void Fail(const std::string& message, int line = 0);
    std::string Where() const;
    Element Context() const { return m_stack.empty() ? Element::Other : m_stack.back(); }
    bool Inside(Element element) const { return std::find(m_stack.begin(), m_stack.end(), element) != m_stack.end(); }

    ProblemSink m_problems;
    ChromatogramChooser m_chooser;
    ReadResult& m_result;
    BinaryArrayDecoder m_decoder;
    std::vector<Element> m_stack;
    std::map<std::string, std::vector<Param>> m_groups;
    std::vector<Param>* m_definingGroup = nullptr;
    Record m_record;
    ArrayState m_array;
    std::vector<double> m_values;
    ExtractedIonTraces m_spectra;
    Spectrum m_spectrum;
    bool m_sawRoot = false;
    bool m_stop = false;
    bool m_xmlFailed = false;
    int m_line = 0;
};

void MzmlReader::XmlError(const char* message, int line) {
    if (m_xmlFailed) return;
    m_xmlFailed = true;
    m_stop = true;
    std::string text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    m_problems.Add(line, Where(), "malformed XML: " + (text.empty() ? std::string("the parser stopped") : text));
}

void MzmlReader::Read(xmlTextReaderPtr reader) {
    int status = xmlTextReaderRead(reader);
    while (status == 1 && !m_stop) {
        // The node's own line: the parser's position runs ahead of the node being read.
        const long line = xmlGetLineNo(xmlTextReaderCurrentNode(reader));
        m_line = line > 0 && line < std::numeric_limits<int>::max() ? static_cast<int>(line)
                                                                     : xmlTextReaderGetParserLineNumber(reader);
        const bool skip = Node(reader);
        status = skip ? xmlTextReaderNext(reader) : xmlTextReaderRead(reader);
    }
    if (status < 0 && !m_xmlFailed) XmlError(nullptr, m_line);
    if (!m_stop && !m_sawRoot) m_problems.Add(0, "", "the file holds no mzML document");
    if (!m_problems.Any()) Finish();
}

bool MzmlReader::Node(xmlTextReaderPtr reader) {
    switch (xmlTextReaderNodeType(reader)) {
        case XML_READER_TYPE_ELEMENT: {
            const Element element = Classify(xmlTextReaderConstLocalName(reader));
            const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
            if (!m_sawRoot) {
                if (element != Element::Root) {
                    m_problems.Add(m_line, "", std::string("not an mzML file (the document is <") +
                                                   reinterpret_cast<const char*>(xmlTextReaderConstName(reader)) + ">)");
                    m_stop = true;
                    return false;
                }
                m_sawRoot = true;
            }
            if (StartElement(element, reader)) return true;
            if (empty)
                EndElement(element);
            else
                m_stack.push_back(element);
            return false;
        }
        case XML_READER_TYPE_END_ELEMENT:
            if (!m_stack.empty()) {
                const Element element = m_stack.back();
                m_stack.pop_back();
                EndElement(element);
            }
            return false;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
            if (Context() == Element::Binary && m_record.wanted) {
                const xmlChar* value = xmlTextReaderConstValue(reader);
                if (value != nullptr) m_array.text.append(reinterpret_cast<const char*>(value));
            }
            return false;
        default:
            return false;
    }
}

void MzmlReader::ReadParam(xmlTextReaderPtr reader, Param& param) {
    param.accession.clear();
    param.value.clear();
    param.unitAccession.clear();
    while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
        const char* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
        const char* value = reinterpret_cast<const char*>(xmlTextReaderConstValue(reader));
        if (value == nullptr) continue;
        if (std::strcmp(name, "accession") == 0)
            param.accession = value;
        else if (std::strcmp(name, "value") == 0)
            param.value = value;
        else if (std::strcmp(name, "unitAccession") == 0)
            param.unitAccession = value;
    }
    xmlTextReaderMoveToElement(reader);
}

// Attribute `name` of the current element, or empty.
std::string Attribute(xmlTextReaderPtr reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return "";
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool MzmlReader::StartElement(Element element, xmlTextReaderPtr reader) {
    switch (element) {
        case Element::Chromatogram:
        case Element::Spectrum: {
            std::vector<double> x = std::move(m_record.x);  // keep the spectra's buffers
            std::vector<double> y = std::move(m_record.y);
            m_record = Record();
            m_record.x = std::move(x);
            m_record.y = std::move(y);
            m_record.x.clear();
            m_record.y.clear();
            m_record.active = true;
            m_record.spectrum = element == Element::Spectrum;
            m_record.id = Attribute(reader, "id");
            m_record.line = m_line;
            bool ok = false;
            const std::string index = Attribute(reader, "index");
            m_record.index = ParseCount(index, ok);
            if (!ok) m_record.index = -1;
            const std::string length = Attribute(reader, "defaultArrayLength");
            m_record.defaultLength = ParseCount(length, ok);
            if (!ok) {
                m_record.defaultLength = -1;
                if (!length.empty()) Fail("defaultArrayLength \"" + length + "\" is not a count");
            }
            return false;
        }
        case Element::CvParam: {
            Param param;
            ReadParam(reader, param);
            if (m_definingGroup != nullptr && Context() == Element::ParamGroup)
                m_definingGroup->push_back(std::move(param));
            else
                ApplyParam(param, Context());
            return false;
        }
        case Element::ParamGroup:
            m_definingGroup = &m_groups[Attribute(reader, "id")];
            return false;
        case Element::ParamGroupRef: {
            const auto group = m_groups.find(Attribute(reader, "ref"));
            if (group == m_groups.end()) {
                if (m_record.active) Fail("names an undefined parameter group");
                return false;
            }
            for (const Param& param : group->second) ApplyParam(param, Context());
            return false;
        }
        case Element::BinaryDataArrayList:
            // Everything that decides whether the record is wanted comes before its arrays.
            return m_record.active && !DecideWanted();
        case Element::BinaryDataArray: {
            std::string text = std::move(m_array.text);  // keep the buffer's capacity
            m_array = ArrayState();
            m_array.text = std::move(text);
            m_array.line = m_line;
            const std::string length = Attribute(reader, "arrayLength");
            bool ok = false;
            m_array.length = length.empty() ? m_record.defaultLength : ParseCount(length, ok);
            if (!length.empty() && !ok) {
                Fail("arrayLength \"" + length + "\" is not a count");
                m_array.length = -1;
            }
            return false;
        }
        case Element::ScanWindow:
            if (m_record.active) m_record.scanWindows.emplace_back(kNaN, kNaN);
            return false;
        case Element::Binary:
            m_array.haveBinary = true;
            m_array.line = m_line;  // problems of the data point at the data
            m_array.text.clear();
            return false;
        default:
            return false;
    }
}

void MzmlReader::ApplyParam(const Param& param, Element context) {
    if (!m_record.active) return;
    bool ok = false;
    switch (context) {
        case Element::BinaryDataArray:
            if (SetEncodingFromAccession(param.accession, m_array.encoding)) return;
            if (param.accession == kTimeArray) {
                m_array.kind = ArrayKind::Time;
                m_array.unitAccession = param.unitAccession;
            } else if (param.accession == kIntensityArray) {
                m_array.kind = ArrayKind::Intensity;
            } else if (param.accession == kMzArray) {
                m_array.kind = ArrayKind::Mz;
            }
            return;
        case Element::IsolationWindow:
            if (param.accession != kIsolationTarget) return;
            if (Inside(Element::Product))
                m_record.productMz = ParseDouble(param.value, ok);
            else if (Inside(Element::Precursor))
                m_record.precursorMz = ParseDouble(param.value, ok);
            else
                return;
            if (!ok) Fail("isolation window target m/z \"" + param.value + "\" is not a number");
            return;
        case Element::SelectedIon:
            if (param.accession != kSelectedIonMz) return;
            m_record.selectedIonMz = ParseDouble(param.value, ok);
            if (!ok) Fail("selected ion m/z \"" + param.value + "\" is not a number");
            return;
        case Element::Scan:
            if (param.accession != kScanStartTime) return;
            m_record.time = ParseDouble(param.value, ok);
            m_record.timeMinutesPer = MinutesPer(param.unitAccession);
            if (!ok) Fail("scan start time \"" + param.value + "\" is not a number");
            return;
        case Element::ScanWindow:
            if (m_record.scanWindows.empty() || (param.accession != kScanWindowLower && param.accession != kScanWindowUpper))
                return;
            {
                const double limit = ParseDouble(param.value, ok);
                if (!ok) return Fail("scan window limit \"" + param.value + "\" is not a number");
                auto& window = m_record.scanWindows.back();
                (param.accession == kScanWindowLower ? window.first : window.second) = limit;
            }
            return;
        case Element::Spectrum:
            if (param.accession == kMsLevel) {
                m_record.msLevel = static_cast<int>(ParseCount(param.value, ok));
                if (!ok) Fail("ms level \"" + param.value + "\" is not a count");
            } else if (param.accession == kSimSpectrum) {
                m_record.sim = true;
            }
            return;
        default:
            return;
    }
}

std::string MzmlReader::Where() const {
    if (!m_record.active) return "";
    if (m_record.spectrum)
        return "spectrum index " + (m_record.index >= 0 ? std::to_string(m_record.index) : "?") +
               (m_record.id.empty() ? "" : " (\"" + m_record.id + "\")");
    return "chromatogram \"" + m_record.id + "\"";
}

void MzmlReader::Fail(const std::string& message, int line) {
    m_record.failed = true;
    m_problems.Add(line > 0 ? line : m_line, Where(), message);
}

bool MzmlReader::DecideWanted() {
    if (m_record.decided) return m_record.wanted;
    m_record.decided = true;
    const int function = NativeIdNumber(m_record.id, "function=");
    if (!m_record.spectrum) {
        if (m_record.precursorMz <= 0.0) m_record.precursorMz = m_record.selectedIonMz;
        m_record.wanted = m_chooser.Wanted(m_record.precursorMz, m_record.productMz, m_record.id, function);
        return m_record.wanted;
    }
    const double precursor = m_record.precursorMz > 0.0 ? m_record.precursorMz : m_record.selectedIonMz;
    m_record.wanted = m_spectra.Wants(m_record.msLevel, precursor, function);
    return m_record.wanted;
}

void MzmlReader::EndElement(Element element) {
    switch (element) {
        case Element::BinaryDataArray: EndArray(); return;
        case Element::Chromatogram:
        case Element::Spectrum: EndRecord(); return;
        case Element::ParamGroup: m_definingGroup = nullptr; return;
        case Element::ScanWindow:
            // A window without both limits says nothing about coverage.
            if (m_record.active && !m_record.scanWindows.empty() &&
                (std::isnan(m_record.scanWindows.back().first) || std::isnan(m_record.scanWindows.back().second)))
                m_record.scanWindows.pop_back();
            return;
        default: return;
    }
}

void MzmlReader::EndArray() {
    if (!m_record.active || !m_record.wanted || m_record.failed) return;
    const ArrayKind kind = m_array.kind;
    const bool isX = kind == (m_record.spectrum ? ArrayKind::Mz : ArrayKind::Time);
    if (!isX && kind != ArrayKind::Intensity) return;  // arrays nobody here needs (charges, noise...)
    if (!m_array.haveBinary) return Fail("a binary data array has no <binary> element", m_array.line);
    double minutesPer = 1.0;
    if (kind == ArrayKind::Time) {
        minutesPer = MinutesPer(m_array.unitAccession);
        if (minutesPer == 0.0) return Fail("the time array names no unit (minute or second)", m_array.line);
        if (minutesPer < 0.0) return Fail("the time array's unit " + m_array.unitAccession + " is not a time unit", m_array.line);
    }
    const std::string problem = m_decoder.Decode(m_array.text, m_array.encoding, m_array.length, m_values);
    const char* name = kind == ArrayKind::Time ? "time" : kind == ArrayKind::Mz ? "m/z" : "intensity";
    if (!problem.empty()) return Fail(std::string(name) + " array: " + problem, m_array.line);
    if (isX) {
        if (m_record.haveX) return Fail(std::string("has two ") + name + " arrays", m_array.line);
        m_record.haveX = true;
        m_record.xMinutesPer = minutesPer;
        m_record.x.swap(m_values);
    } else {
        if (m_record.haveY) return Fail("has two intensity arrays", m_array.line);
        m_record.haveY = true;
        m_record.y.swap(m_values);
    }
}

void MzmlReader::EndRecord() {
    // A record without arrays was never weighed: weigh it now, so that one a request wants
    // says it has no data, or, declared empty, counts as empty.
    if (m_record.active && !m_record.decided) DecideWanted();
    if (m_record.active && !m_record.haveX && !m_record.haveY && m_record.defaultLength == 0)
        m_record.haveX = m_record.haveY = true;
    if (m_record.active && m_record.wanted && !m_record.failed) {
        if (m_record.spectrum)
            EndSpectrum();
        else
            EndChromatogram();
    }
    m_record.active = false;
}

void MzmlReader::EndChromatogram() {
    Record& record = m_record;
    if (!record.haveX) return Fail("has no time array", record.line);
    if (!record.haveY) return Fail("has no intensity array", record.line);
    if (record.xMinutesPer != 1.0)
        for (double& time : record.x) time *= record.xMinutesPer;
    const std::string problem = CheckChromatogram(record.x, record.y);
    if (!problem.empty()) return Fail(problem, record.line);
    Chromatogram chromatogram;
    chromatogram.id = record.id;
    chromatogram.precursorMz = record.precursorMz;
    chromatogram.productMz = record.productMz;
    chromatogram.function = NativeIdNumber(record.id, "function=");
    chromatogram.times = std::move(record.x);
    chromatogram.intensities = std::move(record.y);
    m_chooser.Offer(std::move(chromatogram));
}

void MzmlReader::EndSpectrum() {
    Record& record = m_record;
    if (record.timeMinutesPer == -2.0) return Fail("has no scan start time", record.line);
    if (record.timeMinutesPer == 0.0) return Fail("the scan start time names no unit (minute or second)", record.line);
    if (record.timeMinutesPer < 0.0) return Fail("the scan start time's unit is not a time unit", record.line);
    if (!record.haveX) return Fail("has no m/z array", record.line);
    if (!record.haveY) return Fail("has no intensity array", record.line);
    if (record.x.size() != record.y.size())
        return Fail("the m/z array holds " + std::to_string(record.x.size()) + " values and the intensity array " +
                    std::to_string(record.y.size()), record.line);
    for (size_t k = 0; k < record.x.size(); ++k)
        if (!std::isfinite(record.x[k]) || !std::isfinite(record.y[k]))
            return Fail("point " + std::to_string(k + 1) + " is not a finite number", record.line);
    Spectrum& spectrum = m_spectrum;
    spectrum.msLevel = record.msLevel;
    spectrum.sim = record.sim;
    spectrum.precursorMz = record.precursorMz > 0.0 ? record.precursorMz : record.selectedIonMz;
    spectrum.minutes = record.time * record.timeMinutesPer;
    spectrum.function = NativeIdNumber(record.id, "function=");
    spectrum.scan = NativeIdNumber(record.id, "scan=");
    if (spectrum.scan == 0 && record.index >= 0 && record.index < std::numeric_limits<int>::max())
        spectrum.scan = static_cast<int>(record.index) + 1;
    spectrum.scanWindows.swap(record.scanWindows);
    spectrum.mz.swap(record.x);
    spectrum.intensities.swap(record.y);
    const std::string problem = m_spectra.Add(spectrum);
    spectrum.mz.swap(record.x);  // hand the buffers back for the next spectrum
    spectrum.intensities.swap(record.y);
    if (!problem.empty()) Fail(problem, record.line);
}

void MzmlReader::Finish() {
    std::vector<bool> answered;
    m_chooser.Finish(m_result.chromatograms, answered);
    m_spectra.Finish(answered, m_result.chromatograms, m_result.unmatched);
}

#if LIBXML_VERSION >= 21200
void OnXmlError(void* context, const xmlError* error) {
#else
void OnXmlError(void* context, xmlErrorPtr error) {
#endif
    if (error == nullptr || error->level < XML_ERR_ERROR) return;
    static_cast<MzmlReader*>(context)->XmlError(error->message, error->line);
}

bool ReadWith(xmlTextReaderPtr reader, const std::string& name, const std::vector<TraceRequest>& requests,
              ReadResult& result, const ReadOptions& options) {
    const size_t before = result.problems.size();
    {
        MzmlReader mzml(name, requests, options, result);
        if (reader == nullptr) {
            result.problems.push_back({name, 0, 0, "cannot read the file as XML"});
        } else {
            // Errors of the input layer (a bad encoding) bypass the reader's handler and go to
            // the thread's handler, which would print them; route them here for the read.
            const xmlStructuredErrorFunc savedHandler = xmlStructuredError;
            void* const savedContext = xmlStructuredErrorContext;
            xmlSetStructuredErrorFunc(&mzml, OnXmlError);
            xmlTextReaderSetStructuredErrorHandler(reader, OnXmlError, &mzml);
            mzml.Read(reader);
            xmlFreeTextReader(reader);
            xmlSetStructuredErrorFunc(savedContext, savedHandler);
        }
    }
    return result.problems.size() == before;
}

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOBLANKS | XML_PARSE_BIG_LINES;

}  // namespace

// libxml2 sets up its global tables on first use, which is not safe when two batch workers
// open their first files at once.
static void InitialiseXmlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

bool ReadMzmlFile(const std::string& path, const std::vector<TraceRequest>& requests, ReadResult& result,
                  const ReadOptions& options) {
    InitialiseXmlOnce();
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        result.problems.push_back({path, 0, 0, "cannot open the file"});
        return false;
    }
    std::fclose(probe);
    return ReadWith(xmlReaderForFile(path.c_str(), nullptr, kParseOptions), path, requests, result, options);
}

bool ReadMzmlBuffer(std::string_view data, const std::string& name, const std::vector<TraceRequest>& requests,
                    ReadResult& result, const ReadOptions& options) {
    InitialiseXmlOnce();
    if (data.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        result.problems.push_back({name, 0, 0, "the file is too large to read from memory"});
        return false;
    }
    return ReadWith(xmlReaderForMemory(data.data(), static_cast<int>(data.size()), name.c_str(), nullptr, kParseOptions),
                    name, requests, result, options);
}

}  // namespace RawData
