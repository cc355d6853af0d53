// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/pipeline.h"

#include <string>

namespace record {

// Rewrites the recording file at `path` so that its blocks stand in time order: a loop ring that
// wrapped (two runs) is copied run by run into a new file beside it, which then replaces it. A
// take of one run is left as it is. The file must not be open for writing elsewhere. Throws
// base::UserError when the copy cannot be made (the disk full, say); the ring file is then
// kept as it was and the partial copy deleted.
void WriteTakeInTimeOrder(const std::string& path, const TakeOrder& order,
                          const base::FileSystem& files);

} // namespace record
