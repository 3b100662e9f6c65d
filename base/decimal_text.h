// Decimal numbers as text, the same on every platform and in every locale:
// "." is the decimal point whatever the C locale says, and no C runtime's
// extensions (hexadecimal forms) are read. Hosts set locales with a decimal
// comma, and the Windows and Linux runtimes disagree on what strtod accepts.
#pragma once

#include <cstddef>
#include <string>

// Reads the longest decimal number at the start of text: optional white
// space and sign, digits with an optional "." and fraction, an optional
// exponent; also "nan", "inf" and "infinity" in any case. Answers the
// number of characters read, 0 when there is no number (value is then 0).
// Magnitudes beyond double read as infinity, those below as zero.
std::size_t ReadLeadingDecimal(const char* text, double& value);

// The leading number of text, the rest ignored; 0 when there is none or
// text is null.
double ReadDecimal(const char* text);

// v with `decimals` digits after the point ("%.*f" in the C locale):
// correctly rounded, "nan", "inf" and "-inf" for the special values.
std::string FormatFixed(double v, int decimals);
