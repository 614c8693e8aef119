// SPDX-License-Identifier: GPL-3.0-or-later
// The file errors of a conversion run.
#pragma once

#include <stdexcept>

namespace tarnimex {

// A file error that ends the whole run (on the command line, only a log that
// cannot be read does): the CSV could not be written, or the log could not be
// read. The message names the path and the system's reason.
class IoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The log was read, but its CSV could not be written: a host may let the run
// go on with the next log.
class CsvError : public IoError {
  public:
    using IoError::IoError;
};

}  // namespace tarnimex
