#pragma once

#include <string>

// One SMTP conversation on 127.0.0.1, as the mail benchmarks time it.
namespace bench {

/// Connection, EHLO, MAIL FROM alice@bench.example, RCPT TO `recipient`,
/// DATA with `body` (ending in ".\r\n"), QUIT; whether every reply was the
/// one expected.
bool submit(int port, const std::string& recipient, const std::string& body);

} // namespace bench
