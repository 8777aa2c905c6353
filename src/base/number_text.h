// Numbers as text, fast and exactly as the standard streams print them: the
// log and the value line print many doubles in default stream format (general
// notation, six significant digits), which a stream makes through printf and
// the locale at some thousand instructions a number.
#ifndef QND_BASE_NUMBER_TEXT_H
#define QND_BASE_NUMBER_TEXT_H

#include <locale>
#include <string>

namespace qnd_number {

// Appends value as printf's "%.*g" writes it with that precision (1 to 17):
// for precision 6, what a default-formatted output stream prints.
void append_general(std::string& out, double value, int precision = 6);

// The classic locale, with doubles in general notation without width, sign or
// point flags written by append_general; every other output as before.
std::locale fast_number_locale();

}  // namespace qnd_number

#endif  // QND_BASE_NUMBER_TEXT_H
