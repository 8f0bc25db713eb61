// The method tools and the batch report problems in the one problem type every reader of the
// system uses (platform/Problem.h): file, line, column, where, message.
#pragma once

#include "platform/Problem.h"

namespace MethodTools {

using Problem = Quan::Problem;
using Problems = Quan::Problems;

}  // namespace MethodTools

namespace Batch {

using Problem = Quan::Problem;

}  // namespace Batch
