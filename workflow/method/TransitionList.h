// Transition lists: the table an MRM acquisition method is built from, one row per transition,
// as lab tools write them (comma- or tab-separated). Columns are recognised by name through one
// table of aliases (the OpenSWATH/TraML-style columns and those of small-molecule transition
// lists), ignoring case and spacing.
//
// Import makes one method entry per compound: the quantifying transition becomes the
// quantification trace ("Q1>Q3", or "Q1" alone for a single-ion trace whose product m/z is empty
// or 0), the other transitions the qualifier traces, with expected ion ratios from the library
// intensities. The quantifying transition is the one the list marks, else the most intense, else
// the first; a compound with more qualifiers than an entry holds (GC-MS SIM lists name up to
// twenty ions) keeps the most intense, and a note names every ion left out. A heavy-labelled (or marked) compound becomes an internal standard, and the light
// compound of the same name refers to it, unless the list's internal-standard column names
// another (as a compound, or by one of its transition names: the lab's pairing wins).
//
// Location is set up from what the lab knows: a run drifts as a whole, and a labelled standard
// co-elutes with its light compound. So the internal standards are searched over a wide window
// and take the largest peak in it, and every other compound follows a standard (RRTRef): its
// own labelled form when the list has one, searched in a narrow window around the standard's
// found time; otherwise the standard nearest in retention time, whose drift it shares. Export
// writes a method back as such a list, so that import, export and import again give the same
// method.
#pragma once

#include <string>
#include <vector>

#include "quan.h"
#include "workflow/support/Problem.h"

namespace MethodTools {

// Rows of the keyword table of location choices the importer offers for standards.
constexpr int kChooseClosest = 0, kChooseLargest = 1;

enum class TimeUnit { kColumn, kMinutes, kSeconds };  // kColumn: the unit the column's name implies

// What the list does not say. Each has a command-line option; the defaults are documented by
// `quan-method --help` (ImportDefaultsText).
struct ImportOptions {
    double rtWindow = 0.5;           // minutes either side of the retention time (--rt-window)
    double massWindow = 0.5;         // Da, extraction window of the traces (--mass-window)
    std::string units = "ng/mL";     // reported concentration unit (--units)
    int ratioWindow = 20;            // per cent of the expected ion ratio (--ratio-window)
    TimeUnit rtUnit = TimeUnit::kColumn;  // unit of the retention times (--rt-unit)
    double standardConc = 1.0;       // concentration of every internal standard (--istd-conc)
    int curveType = 1;               // Linear (--curve)
    int weighting = 0;               // Null (--weighting)
    int origin = 1;                  // Exclude (--origin)
    int axisTransform = 0;           // None (--transform)
    int responseBasis = 0;           // Area (--basis)
    int maxQualifiers = 4;           // qualifier ions kept per compound, 0 to 4 (--qualifiers)
    // Location (see the file's header): off locates every compound by its own retention time.
    bool followStandards = true;     // (--follow-standards on|off)
    double standardWindow = 0.75;    // minutes either side for standards, when the list has none (--standard-window)
    int standardChoice = kChooseLargest;  // or kChooseClosest to the list's time (--standard-choice)
    double partnerWindow = 0.1;      // minutes either side of a labelled partner's found time (--partner-window)
};

// One row of a transition list, as read.
struct Transition {
    int line = 0;
    // Columns (from 1; 0 when the list has none) of the cells problems point at.
    int compoundColumn = 0, nameColumn = 0, quantifyingColumn = 0, rtColumn = 0, standardColumn = 0;
    std::string compound, label, transitionName, internalStandard;
    double precursor = 0.0, product = 0.0;  // product 0: a single-ion trace
    double rt = -1.0, rtWindow = -1.0;      // minutes; -1 when the row gives none
    double libraryIntensity = -1.0;         // -1 when the row gives none
    int quantifying = -1;                   // 1 yes, 0 no, -1 not said
    bool heavy = false;
};

// Reads the transition list `text` (named `file` in problems). True when every row read.
bool ReadTransitions(const std::string& file, const std::string& text, const ImportOptions& options,
                     std::vector<Transition>& transitions, Problems& problems, Problems& notes);

// Builds the method from transitions read. True when no problem was found; the method is
// then complete, otherwise left empty.
bool BuildMethod(const std::string& file, const std::vector<Transition>& transitions, const ImportOptions& options,
                 CMethodList& method, Problems& problems, Problems& notes);

// Both steps on a file. `notes` receives what the user should know but is no error (the unit
// the retention times were read in, library intensities that carry no ratio).
bool ImportTransitionList(const std::string& path, const ImportOptions& options, CMethodList& method,
                          Problems& problems, Problems& notes);

enum class ListStyle { kOpenSwath, kSmallMolecule };

// The transition list of `method`, comma-separated, in `style`'s column names; retention times
// in `rtUnit` (OpenSWATH style: seconds unless kMinutes; small-molecule style: minutes).
// `notes` receives what a list cannot carry: channel-name traces, totals groups, several
// internal standards, location by relative retention time.
std::string TransitionListText(const CMethodList& method, ListStyle style, TimeUnit rtUnit, Problems& notes);

// The column names the reader recognises, for help texts.
std::string RecognisedColumnsText();

}  // namespace MethodTools
