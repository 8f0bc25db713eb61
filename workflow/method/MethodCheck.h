// Reading and checking a method file, as quan-method check and quan-batch do before anything
// runs. Every setting is checked where it stands in the file (a number that does not read, a
// keyword text that is not in its table, an attribute no setting has), then the method as a
// whole: references to other entries (RRef, IStd, RRTRef, CalCompound, totals groups), traces
// that do not parse, retention-time and ion-ratio windows that are zero or negative, settings
// outside their tables. Each problem names the file, line and column of the entry or attribute.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "quan.h"
#include "workflow/support/Problem.h"

namespace MethodTools {

// Where a method entry's element and each of its attributes start in the file (from 1).
struct Place {
    int line = 0, column = 0;
};
struct EntryPlaces {
    Place element;
    std::map<std::string, Place> attributes;
};

struct ListSettings;

// Reads the method document `text` (named `file` in problems) into `method` and checks it, the
// settings of the list element (ListSettings) included, into `settings` when given. True when
// no problem was found; every problem is appended to `problems`. MethodDocument reads through
// these, so every reader of a method runs the same checks.
bool ReadMethodText(const std::string& file, const std::string& text, CMethodList& method, Problems& problems,
                    ListSettings* settings = nullptr);
bool ReadMethodFile(const std::string& path, CMethodList& method, Problems& problems,
                    ListSettings* settings = nullptr);

// The checks on a method already read. `places` (possibly empty) holds the entries' places in
// list order, so that a problem points at the entry or at the attribute concerned.
void CheckMethod(const std::string& file, const CMethodList& method, const std::vector<EntryPlaces>& places,
                 Problems& problems);

// A trace as method entries hold them: a channel name ("TIC"), a mass ("304.2") or a
// transition ("216.1>174.1"). False for a text that starts like a number or holds '>' but is
// not a list of positive masses.
bool TraceParses(const std::string& trace);

}  // namespace MethodTools
