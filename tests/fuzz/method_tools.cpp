// The method tools' readers. The first input byte chooses: even reads the rest as a method
// document with the method checks, odd as a transition list (with the byte's second bit, the
// retention times in minutes).
// Invariants: a reader reports success exactly when it reported no problem, and every problem
// names its file and says something; a checked method written in its readable form reads and
// checks again as the same method; a method imported from a list passes the method checks.
// Exported lists importing back are the unit tests' business.
#include <string>
#include <vector>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace {
using MethodTools::Problems;

bool SameMethod(const CMethodList& a, const CMethodList& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (int i = 0; i < a.GetSize(); ++i)
        if (!(a.GetAt(i) == b.GetAt(i))) return false;
    return true;
}

void FuzzMethod(const std::string& text) {
    CMethodList method;
    Problems problems;
    const bool ok = MethodTools::ReadMethodText("m", text, method, problems);
    CheckReport(ok, problems, "m");
    if (!ok) return;
    CMethodList again;
    Problems more;
    FUZZ_CHECK(MethodTools::ReadMethodText("m", MethodTools::ReadableMethodXML(method), again, more));
    FUZZ_CHECK(SameMethod(method, again));
}

bool Import(const std::string& text, const MethodTools::ImportOptions& options, CMethodList& method, Problems& problems) {
    std::vector<MethodTools::Transition> transitions;
    Problems notes;
    const bool ok = MethodTools::ReadTransitions("l", text, options, transitions, problems, notes) &&
                    MethodTools::BuildMethod("l", transitions, options, method, problems, notes);
    CheckReport(ok, problems, "l");
    return ok;
}

void FuzzList(const std::string& text, bool minutes) {
    MethodTools::ImportOptions options;
    options.rtUnit = minutes ? MethodTools::TimeUnit::kMinutes : MethodTools::TimeUnit::kColumn;
    CMethodList method;
    Problems problems;
    if (!Import(text, options, method, problems)) {
        FUZZ_CHECK(method.GetSize() == 0);
        return;
    }
    // Windows narrower than single precision holds are the one thing a list can give that the
    // checks refuse; quan-method reports them after importing.
    Problems checked;
    MethodTools::CheckMethod("l", method, {}, checked);
    for (const auto& problem : checked) FUZZ_CHECK(problem.message.find("LocateRTWin") != std::string::npos);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 16 * 1024) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((data[0] & 1) == 0) FuzzMethod(text);
    else FuzzList(text, (data[0] & 2) != 0);
    return 0;
}
