// Text about files and meshes made safe for a terminal: a name may hold any
// byte, and a raw escape sequence in it would be run by the terminal.
#ifndef TRESSEL_CLI_IO_PRINTABLE_H
#define TRESSEL_CLI_IO_PRINTABLE_H

#include <string>
#include <string_view>

namespace cliio {

// `text` with every control character (C0, DEL and the C1 range) written as
// an escape: \n \r \t \e \\ kept short, others as \xNN (bytes) or \u0085 (C1
// characters encoded in UTF-8); bytes that are not UTF-8 also become \xNN.
// Everything else, multi-byte UTF-8 included, is kept as it is, backslashes
// too: escaping twice changes nothing, so text that was made printable where
// it arose (an importer's error) can pass through here again.
std::string Printable(std::string_view text);

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_PRINTABLE_H
