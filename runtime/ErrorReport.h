#pragma once
// How an error that escaped a handler reaches the user: the message text with
// the period rule, the application title, and a replaceable display.

#include <exception>
#include <functional>
#include <string>
#include <string_view>

// Appends "." when the last character of message is greater than '.' in byte
// order; for a UTF-8 character its lead byte counts. A message of more than
// 1000 bytes shows its first 600 and its last 200 bytes (whole characters
// only), joined by " … (N bytes left out) … ".
std::string ErrorDisplayText(std::string_view message);
// The shortening alone, for a text shown beside a message (a file's line).
std::string ShortenedText(std::string_view text);
// The same for an exception's whole message: a program error's Message, which
// may hold NUL bytes (a text read from a file), not what() up to the first.
std::string ErrorDisplayText(const std::exception& e);

// A text for a terminal: every control character but the tab shown as \xNN
// (an escape sequence quoted from a file cannot move the cursor, recolour the
// terminal or ring), the C1 controls of UTF-8 (U+0080 to U+009F) likewise,
// byte by byte. Other text is left as it is.
std::string EscapeControls(std::string_view text);

// The program file's name without folder and its last extension, the first
// character as it is and the rest in lower case: "FLOOD.EXE" gives "Flood",
// "/usr/bin/quelmora" gives "quelmora".
std::string ApplicationTitle(std::string_view programPath);

// Shows (title, text). The window installs a message box; batch mode prints.
using ErrorDisplay = std::function<void(const std::string& title, const std::string& text)>;

// Shows e through display unless it is an EAbort; releaseCapture runs first.
void ReportError(const std::exception& e, const std::string& title, const ErrorDisplay& display,
                 const std::function<void()>& releaseCapture = {});
