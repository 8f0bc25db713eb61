// The method document as a person writes and reads it: one element per entry holding only the
// settings that differ from their defaults, with every enumerated setting as its keyword text
// (LocateBy="RT", RCalc="Internal Std", WeightingFunction="1/x"). The method list reads it back
// as the same method; CMethodList::WriteXML stays the full, numeric form stored methods use.
#pragma once

#include <string>

#include "quan.h"

namespace MethodTools {

std::string ReadableMethodXML(const CMethodList& method);

}  // namespace MethodTools
