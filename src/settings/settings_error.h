// SPDX-License-Identifier: GPL-3.0-or-later
// The one error type of the settings module; its message is shown to the user
// as it stands.
#pragma once

#include <stdexcept>

namespace tarnimex {

class SettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarnimex
