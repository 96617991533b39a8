// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <concepts>
#include <stdexcept>
#include <string>

namespace halvik {

// A clipboard that refused the data. what() is the whole message for the user:
// "Cannot open clipboard: <reason>" (UTF-8). It lives apart from the clipboard widgets so that
// everything that passes data through a clipboard (the grid, the print logo) can report it
// without linking the widgets.
class ClipboardError : public std::runtime_error {
  public:
    explicit ClipboardError(const std::string& reason);
    // Any text type that converts itself to UTF-8 (a QString) reads as its UTF-8 text.
    template <class Text>
    requires requires(const Text& text) {
        { text.toStdString() } -> std::convertible_to<std::string>;
    }
    explicit ClipboardError(const Text& reason) : ClipboardError(reason.toStdString()) {}

    // The reason alone, without the "Cannot open clipboard: " in front (UTF-8).
    const std::string& reason() const { return reason_; }

  private:
    std::string reason_;
};

}  // namespace halvik
