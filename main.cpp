// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/program.h"

int main(int argc, char** argv) { return app::ProgramEntry(argc, argv); }
