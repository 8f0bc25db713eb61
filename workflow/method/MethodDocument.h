// A method document: the method's entries and the settings of its list element (METHODLIST),
// which the batch needs beside the entries: the acceptance rules and their limits, automatic
// outlier exclusion and its limits. The document is read, checked and written by one code
// path, so quan-method check, quan-batch and the Python module find the same problems in a
// method, and a method read and written again keeps every setting. An attribute of the list
// element that is not one of its settings is a problem, as it is on an entry: a misspelt rule
// set would otherwise leave a batch unjudged without a word.
//
// Two written forms: the readable one (entries hold only settings that differ from their
// defaults, enumerated settings as texts) and the stored one (CMethodList::WriteXML's full,
// numeric entries); both carry the list settings as attributes of METHODLIST.
//
// Part of the workflow library's stable interface (see BatchSession.h).
#pragma once

#include <string>

#include "quan.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/review/Acceptance.h"

namespace MethodTools {

// Everything the list element carries.
struct ListSettings {
    Batch::ReviewSettings review;  // acceptance rules and limits, outlier exclusion and limits
    bool operator==(const ListSettings& other) const { return review == other.review; }
};

// The list element's attributes for `settings`, in the order they are read back.
std::vector<std::pair<std::string, std::string>> ListAttributes(const ListSettings& settings);

// The entries are the list itself, so a document goes wherever a method list does (the engines,
// the batch); copying it into a CMethodList keeps the entries only.
class MethodDocument : public CMethodList {
public:
    ListSettings settings;

    // Reads and checks a document (`file` names it in problems); true when no problem was
    // found. On problems the document keeps what it held.
    bool Read(const std::string& file, const std::string& text, Problems& problems);
    bool ReadFile(const std::string& path, Problems& problems);

    // The checks a document read from a file goes through, on what it holds now (a program may
    // have changed it): every entry and reference, and every list setting within its bounds.
    void Check(const std::string& file, Problems& problems) const;

    // The document as text: readable, or the stored form of the entries.
    std::string Xml(bool readable = true) const;
    // Writes Xml() to `path`, replacing an earlier file only when the new one is complete.
    bool Write(const std::string& path, bool readable, Problems& problems) const;
};

}  // namespace MethodTools
