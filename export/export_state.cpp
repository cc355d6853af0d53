// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_job.h"

namespace exporting {

State state;

} // namespace exporting
