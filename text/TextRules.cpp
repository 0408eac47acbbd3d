#include "text/Text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool IsLeadByte(unsigned char b) {
    return b >= 0x80;
}

unsigned char Byte(const std::string& s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Bytes taken by the character at pos: 1 below 0x80, otherwise 2, or 4 for a GB18030 four-byte
// code [81-FE][30-39][81-FE][30-39]. No code-page-936 character has a second byte 30-39, so the
// four-byte step only keeps a match from starting at the third byte of such a code.
size_t CharLength(const std::string& s, size_t pos) {
    if (!IsLeadByte(Byte(s, pos)))
        return 1;
    const auto isDigitByte = [](unsigned char b) {
        return b >= 0x30 && b <= 0x39;
    };
    const auto isFourByteLead = [](unsigned char b) {
        return b >= 0x81 && b <= 0xFE;
    };
    if (pos + 3 < s.size() && isFourByteLead(Byte(s, pos)) && isDigitByte(Byte(s, pos + 1)) &&
        isFourByteLead(Byte(s, pos + 2)) && isDigitByte(Byte(s, pos + 3)))
        return 4;
    return 2;
}

bool IsDigit(unsigned char b) {
    return b >= '0' && b <= '9';
}

// The white space of C's isspace in the "C" locale, without the locale lookup.
bool IsSpace(unsigned char b) {
    return b == ' ' || (b >= '\t' && b <= '\r');
}

unsigned char AsciiLower(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// Compares n bytes that start at a character boundary of a. When ignoreAsciiCase is set, only the
// single-byte letters A-Z and a-z match without case; both bytes of a double-byte character (whose
// trail byte may lie in the ASCII range) are compared exactly.
bool BytesMatch(const char* a, const char* b, size_t n, bool ignoreAsciiCase) {
    bool trail = false;
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (ignoreAsciiCase && !trail && !IsLeadByte(x)) {
            x = AsciiLower(x);
            y = AsciiLower(y);
        }
        if (x != y)
            return false;
        trail = !trail && IsLeadByte(x);
    }
    return true;
}

// 10^k for 0 <= k <= 38, as the compiler rounds the literals: exact up to 1e22, nearest beyond.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
                                   1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
                                   1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38};
constexpr int kMaxTablePower = static_cast<int>(std::size(kPowersOfTen)) - 1;

double PowerOfTen(int k) {
    if (k >= 0 && k <= kMaxTablePower)
        return kPowersOfTen[k];
    return std::pow(10.0, k);
}

// Writes a number given as its significant digits (first digit not zero, at most `precision` of
// them) and the decimal exponent of the first digit, as printf's "%.<precision>g" does, with the
// three-digit exponent ("1e+006") of the runtime whose texts the program reproduces.
std::string FormatGeneral(bool negative, std::string digits, int exponent, int precision) {
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exponent < -4 || exponent >= precision) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'e';
        out += exponent < 0 ? '-' : '+';
        std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
        if (e.size() < 3)
            e.insert(0, 3 - e.size(), '0');
        out += e;
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const auto intDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += '.';
            out.append(digits, intDigits);
        }
    }
    return out;
}

// Infinities and NaN never come from the program's own values; they get a plain readable text.
std::string NonFiniteText(double x) {
    if (std::isnan(x))
        return "nan";
    return x < 0 ? "-inf" : "inf";
}

} // namespace

Text IntToText(std::int32_t v) {
    char buf[16];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    return Text::FromBytes(std::string_view(buf, static_cast<size_t>(result.ptr - buf)));
}

Text SingleToText(float x) {
    if (!std::isfinite(x))
        return Text::FromBytes(NonFiniteText(x));

    // Six significant digits, found from the binary exponent and rounded half away from zero on
    // the scaled value; this is not the rounding of printf and differs from it on ties.
    const auto bits = std::bit_cast<std::uint32_t>(x);
    // For finite values the exponent field is at most 254, so e2 fits a signed byte unchanged.
    const int e2 = static_cast<int>((bits >> 23) & 0xFFu) - 127;
    int d = static_cast<int>(e2 * 0.301029995663981195); // log10(2), truncated toward zero
    const double magnitude = std::fabs(static_cast<double>(x));
    const double m = d > 0 ? magnitude / PowerOfTen(d) : magnitude * PowerOfTen(-d);
    double y;
    if (m >= 10) {
        d += 1;
        y = m * 1e4;
    } else if (m >= 1) {
        y = m * 1e5;
    } else {
        d -= 1;
        y = m * 1e6;
    }
    double whole;
    const double fraction = std::modf(y, &whole);
    // y < 10^6 here (10^6 at most after rounding), so the count fits easily.
    const auto r = static_cast<std::int64_t>(whole) + (fraction >= 0.5 ? 1 : 0);
    if (r == 0)
        return Text::FromBytes("0");

    // The rounded value is r * 10^(d-5); r has at most six significant digits (10^6 reduces to
    // one), so it is written exactly from its digits.
    const std::string digits = std::to_string(r);
    const int exponent = static_cast<int>(digits.size()) - 1 + d - 5;
    return Text::FromBytes(FormatGeneral(x < 0, digits, exponent, 6));
}

Text DoubleToText(double x) {
    if (!std::isfinite(x))
        return Text::FromBytes(NonFiniteText(x));
    if (x == 0)
        return Text::FromBytes("0");

    // to_chars rounds the exact binary value to 13 significant digits, independent of the locale.
    char buf[64];
    const auto result =
        std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 12);
    const std::string_view sci(buf, static_cast<size_t>(result.ptr - buf)); // "d.dddde+XX"
    const size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos)) {
        if (c != '.')
            digits += c;
    }
    int exponent = 0;
    std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                    exponent);
    return Text::FromBytes(FormatGeneral(x < 0, digits, exponent, 13));
}

Text FoldFullWidth(const Text& t) {
    const std::string& in = t.bytes();
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        const unsigned char lead = Byte(in, i);
        if (!IsLeadByte(lead)) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        if (i + 1 >= in.size())
            break; // a lead byte without its trail byte is dropped
        const unsigned char trail = Byte(in, i + 1);
        if (lead == 0xA1 && trail == 0xA1)
            out += ' ';
        else if (lead == 0xA1 && trail == 0xAB)
            out += '~';
        else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF))
            out += '*';
        else if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
            out += static_cast<char>(trail - 0x80);
        else
            out.append(in, i, 2);
        i += 2;
    }
    return Text::FromBytes(out);
}

namespace {

// What both number readers do first: fold full-width forms, skip leading white space, and
// take an optional sign.
struct NumberStart {
    std::string text;
    size_t digits = 0; // where the number after the sign begins
    bool negative = false;
};

NumberStart ReadNumberStart(const Text& t) {
    NumberStart start{FoldFullWidth(t).bytes()};
    const std::string& u = start.text;
    size_t i = 0;
    while (i < u.size() && IsSpace(Byte(u, i)))
        ++i;
    if (i < u.size() && (u[i] == '+' || u[i] == '-')) {
        start.negative = u[i] == '-';
        ++i;
    }
    start.digits = i;
    return start;
}

} // namespace

std::int32_t TextToInt(const Text& t) {
    const NumberStart start = ReadNumberStart(t);
    const std::string& u = start.text;
    size_t i = start.digits;
    const bool negative = start.negative;
    // Unsigned arithmetic wraps around modulo 2^32 as the rule asks; signed overflow would be UB.
    std::uint32_t value = 0;
    for (; i < u.size() && IsDigit(Byte(u, i)); ++i)
        value = value * 10u + static_cast<std::uint32_t>(u[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}

double TextToReal(const Text& t) {
    const NumberStart start = ReadNumberStart(t);
    const std::string& u = start.text;
    size_t i = start.digits;
    const bool negative = start.negative;

    // Copies the longest number prefix in the form from_chars reads: no sign, exponent "e".
    std::string number;
    size_t intDigits = 0;
    size_t fracDigits = 0;
    for (; i < u.size() && IsDigit(Byte(u, i)); ++i, ++intDigits)
        number += u[i];
    if (i < u.size() && u[i] == '.') {
        number += '.';
        for (++i; i < u.size() && IsDigit(Byte(u, i)); ++i, ++fracDigits)
            number += u[i];
    }
    if (intDigits + fracDigits == 0)
        return 0;
    const std::string mantissa = number;
    long long exponent = 0;
    if (i < u.size() && (u[i] == 'e' || u[i] == 'E' || u[i] == 'd' || u[i] == 'D')) {
        size_t j = i + 1;
        const bool negativeExponent = j < u.size() && u[j] == '-';
        if (j < u.size() && (u[j] == '+' || u[j] == '-'))
            ++j;
        if (j < u.size() && IsDigit(Byte(u, j))) {
            number += negativeExponent ? "e-" : "e";
            for (; j < u.size() && IsDigit(Byte(u, j)); ++j) {
                number += u[j];
                exponent = std::min(exponent * 10 + (u[j] - '0'), 1'000'000'000LL);
            }
            if (negativeExponent)
                exponent = -exponent;
        }
    }

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the decimal exponent of the first non-zero digit
        // tells which, and the nearest value is then infinity or zero.
        const size_t first = mantissa.find_first_not_of("0.");
        if (first == std::string::npos)
            return negative ? -0.0 : 0.0;
        const long long lead = first < intDigits ? static_cast<long long>(intDigits - 1 - first)
                                                 : -static_cast<long long>(first - intDigits);
        value = lead + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

double RoundToDecimals(double x, int n) {
    if (x == 0)
        return x;
    const double scale = PowerOfTen(n);
    const double s = std::fabs(x) * scale;
    // A scale or product beyond the double range has nothing left to round: keep x as it is.
    if (!std::isfinite(s) || scale == 0)
        return x;
    double whole;
    const double fraction = std::modf(s + 1e-12, &whole);
    const double r = (fraction >= 0.5 ? whole + 1 : whole) / scale;
    return x < 0 ? -r : r;
}

int FindText(const Text& haystack, const Text& needle, bool caseInsensitive) {
    const std::string& h = haystack.bytes();
    const std::string& n = needle.bytes();
    if (n.empty())
        return h.empty() ? -1 : 1;
    // Candidates advance by whole characters, so a match never starts inside a character.
    for (size_t pos = 0; h.size() - pos >= n.size();) {
        if (BytesMatch(h.data() + pos, n.data(), n.size(), caseInsensitive))
            return static_cast<int>(pos) + 1;
        const size_t step = CharLength(h, pos);
        if (pos + step > h.size())
            break; // a lead byte that is the last byte ends the search
        pos += step;
    }
    return -1;
}

Text ReplaceText(const Text& text, const Text& oldText, const Text& newText, bool caseSensitive) {
    const std::string& s = text.bytes();
    const std::string& o = oldText.bytes();
    if (s.empty() || o.empty())
        return text;
    std::string out;
    out.reserve(s.size());
    size_t pos = 0;
    while (s.size() - pos >= o.size()) {
        if (BytesMatch(s.data() + pos, o.data(), o.size(), !caseSensitive)) {
            out += newText.bytes();
            pos += o.size();
            continue;
        }
        const size_t step = CharLength(s, pos);
        if (pos + step > s.size())
            return Text::FromBytes(out); // a lead byte that is the last byte is dropped
        out.append(s, pos, step);
        pos += step;
    }
    out.append(s, pos);
    return Text::FromBytes(out);
}

Text RightText(const Text& t, int n) {
    if (n <= 0)
        return Text();
    if (n >= t.size())
        return t;
    return Text::FromBytes(std::string_view(t.bytes()).substr(static_cast<size_t>(t.size() - n)));
}

int CompareText(const Text& a, const Text& b) {
    // std::string compares its chars as unsigned bytes (char_traits<char>::compare is memcmp).
    const int c = a.bytes().compare(b.bytes());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Text ConcatText(std::initializer_list<Text> parts) {
    std::string out;
    for (const Text& part : parts)
        out += part.bytes();
    return Text::FromBytes(out);
}
