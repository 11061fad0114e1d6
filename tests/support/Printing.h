// How gtest prints the values the tests compare and the cases of their tables.
#pragma once

#include <QString>
#include <ostream>

// Texts print as quoted UTF-8, not as QString's bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

// A table's case prints as its name. gtest finds it by argument-dependent
// lookup, so a file whose cases live in an unnamed namespace says
// `using testsupport::PrintTo;` there.
template <class Case>
requires requires(const Case& c, std::ostream& os) {
    os << c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

} // namespace testsupport

using testsupport::PrintTo;
