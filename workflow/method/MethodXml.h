// The method document as a person writes and reads it: one element per entry holding only the
// settings that differ from their defaults, with every enumerated setting as its keyword text
// (LocateBy="RT", RCalc="Internal Std", WeightingFunction="1/x"). The method list reads it back
// as the same method; CMethodList::WriteXML stays the full, numeric form stored methods use.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "quan.h"

namespace MethodTools {

// `listAttributes`: the list element's settings (MethodDocument), written in the order given.
std::string ReadableMethodXML(const CMethodList& method,
                              const std::vector<std::pair<std::string, std::string>>& listAttributes = {});
// A text as an attribute value between double quotes, and ` name="value"` appended to an
// element's start tag.
std::string EscapedAttribute(const std::string& text);
void AppendAttribute(std::string& element, const std::string& name, const std::string& value);

}  // namespace MethodTools
