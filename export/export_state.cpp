// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_job.h"

namespace exporting {

State state;

float ExportPercent(uint64_t done, uint64_t total) {
    return total == 0 ? 100.0f : float(double(done) * 100.0 / double(total));
}

} // namespace exporting
