#include "format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

struct DoubleCase {
    const char* format;
    double value;
    const char* expected;
};

void PrintTo(const DoubleCase& c, std::ostream* os) { *os << c.format << " of " << c.value; }

class FormatDouble : public testing::TestWithParam<DoubleCase> {};

TEST_P(FormatDouble, WritesWindowsExponents) {
    const DoubleCase& c = GetParam();
    EXPECT_EQ(plat::Format(c.format, c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    General, FormatDouble,
    testing::Values(DoubleCase{"%g", 0.0, "0"}, DoubleCase{"%g", -0.0, "-0"},
                    DoubleCase{"%g", 1.0, "1"}, DoubleCase{"%g", -2.5, "-2.5"},
                    DoubleCase{"%g", 0.1, "0.1"}, DoubleCase{"%g", 1.0 / 3.0, "0.333333"},
                    // The switch to exponent notation below 1e-4 ...
                    DoubleCase{"%g", 0.0001, "0.0001"}, DoubleCase{"%g", 0.00012345, "0.00012345"},
                    DoubleCase{"%g", 9.99999e-5, "9.99999e-005"}, DoubleCase{"%g", 1e-5, "1e-005"},
                    DoubleCase{"%g", -1e-5, "-1e-005"}, DoubleCase{"%g", 1.25e-7, "1.25e-007"},
                    // ... and at 1e6, also when rounding to six digits reaches it.
                    DoubleCase{"%g", 999999.0, "999999"}, DoubleCase{"%g", 123456.7, "123457"},
                    DoubleCase{"%g", 999999.5, "1e+006"}, DoubleCase{"%g", 1e6, "1e+006"},
                    DoubleCase{"%g", 1234567.0, "1.23457e+006"},
                    DoubleCase{"%g", -1234567.0, "-1.23457e+006"},
                    DoubleCase{"%g", 1.5e10, "1.5e+010"}, DoubleCase{"%g", 1e100, "1e+100"},
                    DoubleCase{"%g", 1e-100, "1e-100"},
                    DoubleCase{"%g", 1.7976931348623157e308, "1.79769e+308"},
                    DoubleCase{"%g", 5e-324, "4.94066e-324"}, DoubleCase{"%G", 1e-5, "1E-005"},
                    DoubleCase{"%G", 1.5e10, "1.5E+010"}, DoubleCase{"%#g", 1.0, "1.00000"},
                    DoubleCase{"%#g", 1e-5, "1.00000e-005"}));

INSTANTIATE_TEST_SUITE_P(
    Precision, FormatDouble,
    testing::Values(DoubleCase{"%.4g", 0.70710678, "0.7071"},
                    DoubleCase{"%.4g", -0.70710678, "-0.7071"}, DoubleCase{"%.4g", 1.0, "1"},
                    DoubleCase{"%.4g", 0.0, "0"}, DoubleCase{"%.4g", 1e-5, "1e-005"},
                    DoubleCase{"%.4g", 12346.0, "1.235e+004"}, DoubleCase{"%.4g", 9999.6, "1e+004"},
                    DoubleCase{"%.4g", 9999.4, "9999"}, DoubleCase{"%.4g", 2.5e-17, "2.5e-017"},
                    DoubleCase{"%.0g", 26.0, "3e+001"},
                    DoubleCase{"%.10g", 1.0 / 3.0, "0.3333333333"},
                    DoubleCase{"%.10g", 1e-10, "1e-010"}));

INSTANTIATE_TEST_SUITE_P(
    Exponent, FormatDouble,
    testing::Values(DoubleCase{"%e", 1.0, "1.000000e+000"}, DoubleCase{"%e", 0.0, "0.000000e+000"},
                    DoubleCase{"%e", -0.0, "-0.000000e+000"},
                    DoubleCase{"%E", 12345.678, "1.234568E+004"},
                    DoubleCase{"%.2e", -0.000123, "-1.23e-004"},
                    DoubleCase{"%.0e", 12346.0, "1e+004"}, DoubleCase{"%#.0e", 12346.0, "1.e+004"},
                    DoubleCase{"%e", 1e-300, "1.000000e-300"},
                    DoubleCase{"%.3e", 1e100, "1.000e+100"}, DoubleCase{"%f", 1e-5, "0.000010"},
                    DoubleCase{"%.2f", -0.0, "-0.00"}, DoubleCase{"%8.3f", 3.14159, "   3.142"},
                    DoubleCase{"%f", 1e20, "100000000000000000000.000000"}));

// The field width counts the widened exponent.
INSTANTIATE_TEST_SUITE_P(
    Width, FormatDouble,
    testing::Values(
        DoubleCase{"%10g", 1e-5, "    1e-005"}, DoubleCase{"[%-10g]", 1e-5, "[1e-005    ]"},
        DoubleCase{"%010g", 1e-5, "00001e-005"}, DoubleCase{"%010g", -1e-5, "-0001e-005"},
        DoubleCase{"%+010g", 1.5e10, "+01.5e+010"}, DoubleCase{"% 010g", 1.5e10, " 01.5e+010"},
        DoubleCase{"%-010g|", 1e-5, "1e-005    |"}, DoubleCase{"%+g", 1e-5, "+1e-005"},
        DoubleCase{"% g", 1e-5, " 1e-005"}, DoubleCase{"%6g", 1e-5, "1e-005"},
        DoubleCase{"%5g", 1e-5, "1e-005"}, DoubleCase{"%5g", 1.0, "    1"},
        DoubleCase{"%05g", -1.0, "-0001"}, DoubleCase{"%15e", 1.0, "  1.000000e+000"},
        DoubleCase{"%-15e|", -1.0, "-1.000000e+000 |"},
        DoubleCase{"%12.4g", 12346.0, "  1.235e+004"},
        DoubleCase{"%12.4G", 12346.0, "  1.235E+004"}, DoubleCase{"%3g", 1e100, "1e+100"}));

// Infinities and NaN are written as the C library here writes them, never zero-padded.
INSTANTIATE_TEST_SUITE_P(
    NotFinite, FormatDouble,
    testing::Values(DoubleCase{"%g", kInf, "inf"}, DoubleCase{"%g", -kInf, "-inf"},
                    DoubleCase{"%G", kInf, "INF"}, DoubleCase{"%e", kInf, "inf"},
                    DoubleCase{"%g", kNan, "nan"}, DoubleCase{"%08g", kInf, "     inf"},
                    DoubleCase{"%-8g|", -kInf, "-inf    |"}, DoubleCase{"%+g", kInf, "+inf"}));

// Every power of ten with %g: six digits round it to 1, so the text is "1e" with the
// signed three-digit exponent outside 1e-4..1e5 and the plain number inside.
TEST(FormatDoubleSweep, PowersOfTen) {
    for (int k = -307; k <= 308; ++k) {
        double value = std::pow(10.0, k);
        std::string expected;
        if (k < -4 || k >= 6) {
            char exponent[16];
            std::snprintf(exponent, sizeof exponent, "%c%03d", k < 0 ? '-' : '+', std::abs(k));
            expected = std::string("1e") + exponent;
        } else if (k < 0) {
            expected.assign("0.").append(static_cast<size_t>(-k - 1), '0').append("1");
        } else {
            expected.assign("1").append(static_cast<size_t>(k), '0');
        }
        EXPECT_EQ(plat::Format("%g", value), expected) << "10^" << k;
        std::string negative = "-";
        negative += expected;
        EXPECT_EQ(plat::Format("%g", -value), negative) << "-10^" << k;
    }
}

struct IntCase {
    const char* format;
    long value;
    const char* expected;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << c.format << " of " << c.value; }

class FormatInt : public testing::TestWithParam<IntCase> {};

// The table passes a long; formats without the l modifier take it as int, which is
// what a caller with an int argument would pass.
TEST_P(FormatInt, MatchesPrintf) {
    const IntCase& c = GetParam();
    std::string format = c.format;
    bool isLong = format.find("ld") != std::string::npos ||
                  format.find("lu") != std::string::npos || format.find("lX") != std::string::npos;
    std::string text = isLong ? plat::Format(c.format, c.value)
                              : plat::Format(c.format, static_cast<int>(c.value));
    EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Integers, FormatInt,
    testing::Values(
        IntCase{"%d", 0, "0"}, IntCase{"%d", -42, "-42"}, IntCase{"%i", 42, "42"},
        IntCase{"%5d", 42, "   42"}, IntCase{"[%-5d]", 42, "[42   ]"},
        IntCase{"%05d", -42, "-0042"}, IntCase{"%+d", 0, "+0"}, IntCase{"% d", 7, " 7"},
        IntCase{"%9d", 123456, "   123456"}, IntCase{"%u", -1, "4294967295"},
        IntCase{"%x", 255, "ff"}, IntCase{"%X", 255, "FF"}, IntCase{"%#x", 255, "0xff"},
        IntCase{"%#X", 0, "0"}, IntCase{"0x%X", 0x2FF0000, "0x2FF0000"}, IntCase{"%02X", 7, "07"},
        IntCase{"_%02X_", 0xE9, "_E9_"}, IntCase{"%08lX", 0x2FF0000, "02FF0000"},
        IntCase{"Color%ld", 16777215, "Color16777215"}, IntCase{"%ld", -123456789, "-123456789"},
        IntCase{"%lu", 4000000000L, "4000000000"}, IntCase{"%.3d", 7, "007"},
        IntCase{"%c", 'A', "A"}, IntCase{"%3c", 'A', "  A"}, IntCase{"[%-3c]", 'A', "[A  ]"}));

TEST(Format, Strings) {
    EXPECT_EQ(plat::Format("%s", "abc"), "abc");
    EXPECT_EQ(plat::Format("%20s|", "Color4"), "              Color4|");
    EXPECT_EQ(plat::Format("%-10s|", "Color4"), "Color4    |");
    EXPECT_EQ(plat::Format("%.3s", "abcdef"), "abc");
    EXPECT_EQ(plat::Format("%s \"%s\" Line %u: %s: %s", "WARNING", "a.dat", 7u,
                           "Unknown color, using 7", "2 99 0 0 0 1 1 1"),
              "WARNING \"a.dat\" Line 7: Unknown color, using 7: 2 99 0 0 0 1 1 1");
    const char* volatile none = nullptr;
    EXPECT_EQ(plat::Format("[%s]", none), "[(null)]");
}

TEST(Format, StarWidthAndPrecision) {
    EXPECT_EQ(plat::Format("%*d|", 5, 42), "   42|");
    EXPECT_EQ(plat::Format("%*d|", -5, 42), "42   |");
    EXPECT_EQ(plat::Format("%-*d|", 5, 42), "42   |");
    EXPECT_EQ(plat::Format("%*g|", 10, 1e-5), "    1e-005|");
    EXPECT_EQ(plat::Format("%*g|", -10, 1e-5), "1e-005    |");
    EXPECT_EQ(plat::Format("%.*g", 3, 3.14159), "3.14");
    EXPECT_EQ(plat::Format("%.*g", -1, 3.14159), "3.14159");  // negative: as if none
    EXPECT_EQ(plat::Format("%*.*e", 12, 2, 1e-5), "   1.00e-005");
    EXPECT_EQ(plat::Format("%*s|", 4, "ab"), "  ab|");
}

TEST(Format, PercentSignsAndOddConversions) {
    EXPECT_EQ(plat::Format("100%%"), "100%");
    EXPECT_EQ(plat::Format("%%d %d", 5), "%d 5");
    EXPECT_EQ(plat::Format("no conversions"), "no conversions");
    // Through a variable: these are the mistakes the compiler would otherwise flag.
    const char* empty = "";
    EXPECT_EQ(plat::Format(empty), "");
    // Text that is not a conversion is written as it stands instead of consuming an
    // argument.
    const char* trailing = "50%";
    EXPECT_EQ(plat::Format(trailing), "50%");
}

TEST(Format, SeveralConversionsInOneText) {
    EXPECT_EQ(plat::Format("<%g,%g,%g>", 1e-5, -0.5, 2e7), "<1e-005,-0.5,2e+007>");
    EXPECT_EQ(plat::Format("%.4g,%.4g,%.4g%s", 0.70710678, -1e-9, 1.0, "\r\n"),
              "0.7071,-1e-009,1\r\n");
    EXPECT_EQ(plat::Format("%s %9d ", "00:30:21", 12345), "00:30:21     12345 ");
    EXPECT_EQ(plat::Format("%d %s  %g %g %g  %g %g %g", 2, "4", 0.0, 1e-5, -1.5, 1e6, 2.0, 3.0),
              "2 4  0 1e-005 -1.5  1e+006 2 3");
}

TEST(Format, LongTextsAreNeverCut) {
    std::string name(10000, 'x');
    std::string text =
        plat::Format("Could not find %s\nReferenced by %s", name.c_str(), name.c_str());
    EXPECT_EQ(text, "Could not find " + name + "\nReferenced by " + name);
    EXPECT_EQ(plat::Format("%300d|", 1), std::string(299, ' ') + "1|");
    EXPECT_EQ(plat::Format("%300g|", 1e-5), std::string(294, ' ') + "1e-005|");
    EXPECT_EQ(plat::Format("%.300f", 1.0), "1." + std::string(300, '0'));
    std::string many;
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += "1e-005 ";
    for (int i = 0; i < 200; ++i) many += plat::Format("%g ", 1e-5);
    EXPECT_EQ(many, expected);
}

std::string CallVFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = plat::VFormat(format, args);
    va_end(args);
    return text;
}

TEST(Format, VFormatTakesAVaList) {
    EXPECT_EQ(CallVFormat("%s=%g (%d)", "q", 2.5e-5, 3), "q=2.5e-005 (3)");
}

}  // namespace
