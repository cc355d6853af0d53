// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/editing_state.h"

namespace operations {

State state;

} // namespace operations
