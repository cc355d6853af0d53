// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <string>

namespace testsupport {

// A fresh folder removed with everything in it when the test ends.
class TempDir {
public:
    TempDir() : dir_(QDir::tempPath() + "/velmar-test-XXXXXX") {}
    std::string path() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }

private:
    QTemporaryDir dir_;
};

} // namespace testsupport
