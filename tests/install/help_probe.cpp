// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the user guide that Help › Help Contents opens for the executable named on the command
// line, or an empty line when there is none; the install test compares it with the real tree.
#include "setup/help_file.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: install_help_probe EXECUTABLE\n";
        return 2;
    }
    std::cout << setup::HelpFilePath(QString::fromLocal8Bit(argv[1])).toStdString() << "\n";
    return 0;
}
