// The method: entries with their settings by name, the list settings, reading, checking and
// writing method documents, and transition lists in and out.
#include <functional>

#include "Bindings.h"
#include "workflow/method/MethodDocument.h"
#include "workflow/method/TransitionList.h"

namespace QuanPython {
namespace {

py::dict EntryDict(const CMethodData& entry) {
    py::dict fields;
#define METHOD_FIELD(type, Name) fields[#Name] = entry.Get##Name();
#define METHOD_TEXT(Name) fields[#Name] = entry.Get##Name();
#define METHOD_INDEXED(type, Name, count) \
    for (int k = 0; k < (count); ++k) fields[(#Name + std::to_string(k)).c_str()] = entry.Get##Name(k);
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
#undef METHOD_FIELD
#undef METHOD_TEXT
#undef METHOD_INDEXED
#undef METHOD_INDEXED_TEXT
    return fields;
}

// Setting fields by name from Python values: one setter per field of the record's table, and
// a TypeError naming the field for a value of the wrong kind. Indexed fields are named with
// their index, as the method XML names them (TargetTrace0).
template <class Record>
using FieldSetters = std::map<std::string, std::function<void(Record&, py::handle)>>;

template <class Record>
void SetFields(Record& record, const FieldSetters<Record>& setters, const py::dict& fields, const char* what) {
    for (auto [key, value] : fields) {
        const std::string name = py::str(key);
        const auto setter = setters.find(name);
        if (setter == setters.end()) throw py::key_error(std::string("no ") + what + " field named " + name);
        try {
            setter->second(record, value);
        } catch (const py::cast_error&) {
            throw py::type_error(std::string(what) + " field " + name + " cannot take " +
                                 std::string(py::str(py::type::of(value).attr("__name__"))));
        }
    }
}

// A setting's value; an enumerated setting also takes one of its texts, as method files do
// (LocateBy="RT", WeightingFunction="1/x").
template <class T>
T SettingCast(const char* name, py::handle value) {
    if constexpr (std::is_same_v<T, int>) {
        if (py::isinstance<py::str>(value)) {
            const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(name);
            if (setting == nullptr) throw py::cast_error();
            const std::string text = value.cast<std::string>();
            const int number = Keywords::SettingValue(*setting, text);
            if (number < 0)
                throw py::value_error("\"" + text + "\" is not a " + name + " (" + Keywords::AllowedTexts(*setting) + ")");
            return number;
        }
    }
    return value.cast<T>();
}

const FieldSetters<CMethodData>& MethodSetters() {
    static const FieldSetters<CMethodData> setters = [] {
        FieldSetters<CMethodData> table;
#define METHOD_FIELD(type, Name) table[#Name] = [](CMethodData& e, py::handle v) { e.Set##Name(SettingCast<type>(#Name, v)); };
#define METHOD_TEXT(Name) table[#Name] = [](CMethodData& e, py::handle v) { e.Set##Name(v.cast<std::string>()); };
#define METHOD_INDEXED(type, Name, count)                                                   \
    for (int k = 0; k < (count); ++k)                                                       \
        table[#Name + std::to_string(k)] = [k](CMethodData& e, py::handle v) { e.Set##Name(k, v.cast<type>()); };
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
#undef METHOD_FIELD
#undef METHOD_TEXT
#undef METHOD_INDEXED
#undef METHOD_INDEXED_TEXT
        return table;
    }();
    return setters;
}

CMethodData& EntryAt(const CMethodList& method, int index) {
    if (index < 0) index += method.GetSize();
    CMethodData* entry = index >= 0 && index < method.GetSize() ? method.GetEntry(index) : nullptr;
    if (entry == nullptr) throw py::index_error("no method entry " + std::to_string(index));
    return *entry;
}

Method ReadMethod(const std::string& path) {
    Method method;
    Quan::Problems problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = method.ReadFile(path, problems);
    }
    if (!ok) RaiseProblems(problems);
    return method;
}

std::string MethodXml(const Method& method, bool readable) {
    const std::string xml = method.Xml(readable);
    if (xml.empty()) Raise(g_error, "the method could not be written as XML");
    return xml;
}

// Changes list settings by name (Acceptance="SANTE", OutlierLimit=2.5): every value is read as
// the method file's attribute would be, and a value that would not read changes nothing.
void SetListSettings(Method& method, const py::kwargs& attributes) {
    std::map<std::string, std::string> texts;
    for (const auto& [name, value] : MethodTools::ListAttributes(method.settings)) texts[name] = value;
    for (auto [key, value] : attributes) {
        const std::string name = py::str(key);
        if (!Batch::IsReviewAttribute(name)) throw py::key_error("no method list setting named " + name);
        if (py::isinstance<py::bool_>(value)) texts[name] = value.cast<bool>() ? "on" : "off";
        else if (value.is_none()) texts.erase(name);
        else texts[name] = py::str(value);
    }
    const auto find = [&texts](const char* name, std::string& value) {
        const auto found = texts.find(name);
        if (found == texts.end()) return false;
        value = found->second;
        return true;
    };
    MethodTools::ListSettings changed;
    std::string complaint;
    if (!Batch::ReadReviewAttributes(find, changed.review,
                                     [&complaint](const std::string& name, const std::string& value, const std::string& expected) {
                                         if (complaint.empty()) complaint = name + "=\"" + value + "\": " + expected;
                                     }))
        throw py::value_error(complaint);
    method.settings = changed;
}

MethodTools::TimeUnit TimeUnitOf(const std::optional<std::string>& unit) {
    if (!unit) return MethodTools::TimeUnit::kColumn;
    if (*unit == "minutes" || *unit == "min") return MethodTools::TimeUnit::kMinutes;
    if (*unit == "seconds" || *unit == "s") return MethodTools::TimeUnit::kSeconds;
    throw py::value_error("rt_unit is \"minutes\" or \"seconds\", not \"" + *unit + "\"");
}

int SettingOption(const char* attribute, const std::string& text) {
    const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(attribute);
    const int value = setting != nullptr ? Keywords::SettingValue(*setting, text) : -1;
    if (value < 0)
        throw py::value_error("\"" + text + "\" is not a " + attribute +
                              (setting != nullptr ? " (" + Keywords::AllowedTexts(*setting) + ")" : std::string()));
    return value;
}

Method ImportTransitions(const std::string& path, double rtWindow, double massWindow, const std::string& units,
                              int ratioWindow, const std::optional<std::string>& rtUnit, double standardConc,
                              const std::string& curve, const std::string& weighting, const std::string& origin,
                              const std::string& transform, const std::string& basis) {
    MethodTools::ImportOptions options;
    if (!(rtWindow > 0.0) || !(massWindow > 0.0) || !(standardConc > 0.0) || ratioWindow <= 0 || ratioWindow > 1000)
        throw py::value_error("windows, the ratio window and istd_conc must be positive");
    options.rtWindow = rtWindow;
    options.massWindow = massWindow;
    options.units = units;
    options.ratioWindow = ratioWindow;
    options.rtUnit = TimeUnitOf(rtUnit);
    options.standardConc = standardConc;
    options.curveType = SettingOption("CCalc", curve);
    options.weighting = SettingOption("WeightingFunction", weighting);
    options.origin = SettingOption("Origin", origin);
    options.axisTransform = SettingOption("XYTrans", transform);
    options.responseBasis = SettingOption("RAH", basis);
    Method method;
    MethodTools::Problems problems, notes;
    {
        py::gil_scoped_release unlocked;
        // What the list gave must also make a sound method, as quan-method import checks.
        if (MethodTools::ImportTransitionList(path, options, method, problems, notes))
            MethodTools::CheckMethod(path, method, {}, problems);
    }
    WarnNotes(notes);
    if (!problems.empty()) RaiseProblems(problems);
    return method;
}

std::string TransitionsText(const CMethodList& method, const std::string& style, const std::optional<std::string>& rtUnit) {
    if (style != "openswath" && style != "molecule") throw py::value_error("style is \"openswath\" or \"molecule\"");
    MethodTools::Problems notes;
    const std::string text = MethodTools::TransitionListText(
        method, style == "molecule" ? MethodTools::ListStyle::kSmallMolecule : MethodTools::ListStyle::kOpenSwath,
        TimeUnitOf(rtUnit), notes);
    WarnNotes(notes);
    return text;
}

}  // namespace

void BindMethod(py::module_& m) {
    // --- method ---
    py::class_<Method>(m, "Method", "A method: one entry per compound, in method order, and the list settings beside them.")
        .def(py::init<>())
        .def_static("read", &ReadMethod, py::arg("path"), "Reads a method XML file.")
        .def_static(
            "from_xml",
            [](const std::string& text) {
                Method method;
                Quan::Problems problems;
                if (!method.Read("method", text, problems)) RaiseProblems(problems);
                return method;
            },
            py::arg("text"), "Reads and checks a method document held as text (problems name it \"method\").")
        .def("to_xml", &MethodXml, py::arg("readable") = true,
             "The method document: readable (only settings that differ from their defaults, enumerated "
             "settings as texts), or the full numeric form stored methods use.")
        .def(
            "write",
            [](const Method& method, const std::string& path, bool readable) {
                Quan::Problems problems;
                if (!method.Write(path, readable, problems)) Raise(g_error, Quan::ProblemsText(problems));
            },
            py::arg("path"), py::arg("readable") = true,
            "Writes the method XML; an earlier file is replaced only when the new one is complete.")
        .def(
            "check",
            [](const Method& method) {
                Quan::Problems problems;
                method.Check("method", problems);
                std::vector<std::string> texts;
                for (const auto& problem : problems) texts.push_back(problem.Text());
                return texts;
            },
            "What quan-method check finds wrong with the method as a whole (references, traces, windows, "
            "settings out of range, list settings), as texts; empty when nothing is.")
        .def_property_readonly(
            "list_settings",
            [](const Method& method) {
                py::dict settings;
                for (const auto& [name, value] : MethodTools::ListAttributes(method.settings)) settings[py::str(name)] = value;
                return settings;
            },
            "The list settings (METHODLIST attributes: Acceptance, its limits, OutlierExclusion, OutlierLimit, "
            "OutlierMinPoints) that differ from their defaults, as the method file writes them.")
        .def("set_list", &SetListSettings,
             "Changes list settings: method.set_list(Acceptance=\"SANTE\", OutlierExclusion=True); None "
             "takes a setting back to its default. A value the method file could not hold raises ValueError.")
        .def("to_transitions", [](const Method& method, const std::string& style, const std::optional<std::string>& rtUnit) { return TransitionsText(method, style, rtUnit); }, py::arg("style") = "openswath", py::arg("rt_unit") = py::none(),
             "The method as a transition list (CSV text), in \"openswath\" or \"molecule\" columns; "
             "rt_unit \"minutes\" or \"seconds\" (default: the style's own). What a list cannot carry is "
             "given as warnings.")
        .def("__len__", [](const Method& method) { return method.GetSize(); })
        .def(
            "__getitem__", [](const Method& method, int index) { return EntryDict(EntryAt(method, index)); },
            "The entry's settings by name (a copy; change them with set).")
        .def(
            "set",
            [](Method& method, int index, const py::kwargs& fields) {
                SetFields(EntryAt(method, index), MethodSetters(), fields, "method");
            },
            py::arg("index"), "Changes settings of an entry: method.set(0, PredRT=5.2, QuanTrace=\"304.2\").")
        .def(
            "append",
            [](Method& method, const py::kwargs& fields) {
                CMethodData entry;
                SetFields(entry, MethodSetters(), fields, "method");
                method.Add(entry);
            },
            "Appends an entry with the given settings (the others at their defaults).")
        .def_property_readonly("names", [](const Method& method) {
            std::vector<std::string> names;
            for (int i = 0; i < method.GetSize(); ++i)
                names.push_back(method.GetEntry(i) ? method.GetEntry(i)->GetName() : std::string());
            return names;
        });
    m.def("read_method", &ReadMethod, py::arg("path"), "Reads a method XML file into a Method.");
    m.def("import_transitions", &ImportTransitions, py::arg("path"), py::arg("rt_window") = 0.5,
          py::arg("mass_window") = 0.5, py::arg("units") = "ng/mL", py::arg("ratio_window") = 20,
          py::arg("rt_unit") = py::none(), py::arg("istd_conc") = 1.0, py::arg("curve") = "Linear",
          py::arg("weighting") = "Null", py::arg("origin") = "Exclude", py::arg("transform") = "None",
          py::arg("basis") = "Area",
          "Makes a method from a transition list (CSV or tab-separated), as quan-method import does: "
          "one entry per compound, heavy-labelled compounds as internal standards. Notes come as "
          "warnings; problems raise InputError.");

}

}  // namespace QuanPython
