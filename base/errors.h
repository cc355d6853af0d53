// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

// Errors the engine raises carry the text the user is shown; only windows show them.
namespace base {

class UserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A write to a work file could not be completed (disk full, I/O error). Nothing half-done is
// published by the command that hit it.
class StreamWriteError : public UserError {
public:
    explicit StreamWriteError(int errnoValue = 0)
        : UserError("Stream write error"), errnoValue_(errnoValue) {}
    int errnoValue() const { return errnoValue_; }

private:
    int errnoValue_;
};

// A work file could not be created or opened; the text names the file and the system's reason.
class FileOpenError : public UserError {
public:
    using UserError::UserError;
};

} // namespace base
