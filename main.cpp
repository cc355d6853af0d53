// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/command_line.h"
#include "app/headless/headless.h"
#include "app/ui/program.h"

#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const app::CommandLine command = app::ParseCommandLine(arguments);
    switch (command.action) {
    case app::CommandLine::Action::Usage: {
        const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
        std::fprintf(stderr, "%s\n%s", qPrintable(command.error),
                     qPrintable(app::UsageText(program)));
        return app::UsageExitStatus;
    }
    case app::CommandLine::Action::Headless:
        return app::HeadlessEntry(argc, argv, command);
    case app::CommandLine::Action::Status:
    case app::CommandLine::Action::Record:
    case app::CommandLine::Action::Stop:
    case app::CommandLine::Action::SaveNow:
        return app::CommandEntry(argc, argv, command);
    case app::CommandLine::Action::Windows:
        break;
    }
    return app::ProgramEntry(argc, argv);
}
