// Numbers, words, colour fields and meta-commands as the line grammar reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "linereader.h"
#include "tokens.h"

namespace {

struct NumberCase {
    const char* text;
    bool ok;
    float value;
    size_t end;  // position after the number
};

class ScanNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ScanNumber, ReadsLikeTheCLibraryExceptNonFinite) {
    const NumberCase& c = GetParam();
    size_t pos = 0;
    float value = 12345;
    ASSERT_EQ(QzScanNumber(c.text, pos, value), c.ok) << c.text;
    if (!c.ok) {
        EXPECT_EQ(pos, 0u);
        return;
    }
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(pos, c.end) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScanNumber,
    ::testing::Values(NumberCase{"1e3", true, 1000, 3}, NumberCase{"+5", true, 5, 2},
                      NumberCase{".5", true, 0.5f, 2}, NumberCase{"5.", true, 5, 2},
                      NumberCase{"-.25", true, -0.25f, 4},
                      NumberCase{"  \t-12.5 ", true, -12.5f, 8},
                      NumberCase{"1.5abc", true, 1.5f, 3}, NumberCase{"1e", true, 1, 1},
                      NumberCase{"2e+", true, 2, 1}, NumberCase{"0x10", true, 16, 4},
                      NumberCase{"-0X1p1", true, -2, 6}, NumberCase{"0xg", true, 0, 1},
                      NumberCase{"1e-50", true, 0, 5}, NumberCase{"1e39", false, 0, 0},
                      NumberCase{"inf", false, 0, 0}, NumberCase{"-inf", false, 0, 0},
                      NumberCase{"nan", false, 0, 0}, NumberCase{"+-5", false, 0, 0},
                      NumberCase{"-", false, 0, 0}, NumberCase{".", false, 0, 0},
                      NumberCase{"", false, 0, 0}, NumberCase{"abc", false, 0, 0}));

TEST(ScanNumberSign, MinusZeroKeepsItsSign) {
    size_t pos = 0;
    float value = 1;
    ASSERT_TRUE(QzScanNumber("-0", pos, value));
    EXPECT_EQ(value, 0.0f);
    EXPECT_TRUE(std::signbit(value));
}

// The short decimal forms are read without the general parser; whatever form a number
// takes, the value and the end are those the general parser gives.
TEST(ScanNumberDecimals, AgreeWithTheGeneralParserBitForBit) {
    auto general = [](const std::string& text, float& value, size_t& end) {
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        float v = 0;
        const auto [last, ec] = std::from_chars(text.data() + i, text.data() + text.size(), v);
        if (ec != std::errc()) return false;
        value = negative ? -v : v;
        end = static_cast<size_t>(last - text.data());
        return true;
    };
    uint64_t state = 88172645463325252ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const char* tails[] = {"", " ", "e", "e2", "x", "abc", ".", "..5", "E-3"};
    for (int n = 0; n < 400000; ++n) {
        std::string text = (next() & 1) ? "-" : "";
        const int whole = static_cast<int>(next() % 12), fraction = static_cast<int>(next() % 12);
        for (int k = 0; k < whole; ++k) text += static_cast<char>('0' + next() % 10);
        if (fraction > 0 || (next() & 1)) text += '.';
        for (int k = 0; k < fraction; ++k) text += static_cast<char>('0' + next() % 10);
        text += tails[next() % std::size(tails)];
        float expected = 0, got = 0;
        size_t expectedEnd = 0, gotEnd = 0;
        const bool ok = general(text, expected, expectedEnd);
        ASSERT_EQ(QzScanNumber(text, gotEnd, got), ok) << text;
        if (!ok) continue;
        ASSERT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(expected)) << text;
        ASSERT_EQ(gotEnd, expectedEnd) << text;
    }
}

// Decimals one unit in their last digit either side of the point halfway between two
// floats, and on it: where a reading that is not exact rounds the wrong way. Random
// digits never land there. Every length from 6 to 17 significant digits, for floats from
// the smallest steps to those of many digits before the point, where the short form of
// the reading meets the general one.
std::string Exact(double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%.120f", value);  // every digit of the double
    std::string digits = text;
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.back() == '.') digits.pop_back();
    return digits;
}

// The digits of a positive decimal text, its point taken out, and where the point was.
struct Decimal {
    std::string digits;  // without leading zeros
    int exponent = 0;    // the value is 0.digits x 10^exponent
};

Decimal Parse(const std::string& text) {
    Decimal d;
    const size_t point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    d.digits = whole + fraction;
    d.exponent = static_cast<int>(whole.size());
    while (!d.digits.empty() && d.digits[0] == '0') {
        d.digits.erase(0, 1);
        --d.exponent;
    }
    return d;
}

std::string Text(const Decimal& d) {
    std::string digits = d.digits;
    int exponent = d.exponent;
    if (exponent <= 0) return "0." + std::string(static_cast<size_t>(-exponent), '0') + digits;
    if (digits.size() <= static_cast<size_t>(exponent))
        return digits + std::string(static_cast<size_t>(exponent) - digits.size(), '0');
    return digits.substr(0, static_cast<size_t>(exponent)) + "." +
           digits.substr(static_cast<size_t>(exponent));
}

// Adds (+1) or takes (-1) one unit of the last digit.
Decimal Step(Decimal d, int by) {
    int i = static_cast<int>(d.digits.size()) - 1;
    if (by > 0) {
        for (; i >= 0 && d.digits[static_cast<size_t>(i)] == '9'; --i)
            d.digits[static_cast<size_t>(i)] = '0';
        if (i < 0) {
            d.digits.insert(0, "1");
            ++d.exponent;
        } else {
            ++d.digits[static_cast<size_t>(i)];
        }
    } else {
        for (; i >= 0 && d.digits[static_cast<size_t>(i)] == '0'; --i)
            d.digits[static_cast<size_t>(i)] = '9';
        --d.digits[static_cast<size_t>(i)];
        while (d.digits.size() > 1 && d.digits[0] == '0') {
            d.digits.erase(0, 1);
            --d.exponent;
        }
    }
    return d;
}

TEST(ScanNumberDecimals, NextToHalfwayBetweenTwoFloatsRoundLikeTheExactValue) {
    std::vector<float> floats = {1.0f,         0.1f,         3.3554432e7f, 1.6777216e7f,
                                 1.6777218e7f, 100000004.0f, 99999992.0f,  123456792.0f,
                                 0.00123f,     7.5e-7f};
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 3000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        // Exponents of two from 2^-20 to 2^49, every bit pattern of the fraction.
        const uint32_t exponent = 107 + static_cast<uint32_t>((state >> 33) % 70);
        floats.push_back(
            std::bit_cast<float>(exponent << 23 | static_cast<uint32_t>(state & 0x7FFFFF)));
    }
    int checked = 0;
    for (const float f : floats) {
        const double halfway =
            (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 2 * f))) / 2;
        const Decimal exact = Parse(Exact(halfway));
        for (size_t length = 6; length <= 17; ++length) {
            Decimal near = exact;
            if (near.digits.size() > length) {
                near.digits.resize(length);  // just below halfway: the next is just above
            } else {
                near.digits.append(length - near.digits.size(), '0');  // halfway itself
                near = Step(near, -1);
            }
            for (int step = 0; step < 3; ++step, near = Step(near, 1)) {
                for (const char* sign : {"", "-"}) {
                    const std::string text = sign + Text(near);
                    float expected = 0;
                    std::from_chars(text.data(), text.data() + text.size(), expected);
                    size_t pos = 0;
                    float got = 0;
                    ASSERT_TRUE(QzScanNumber(text, pos, got)) << text;
                    ASSERT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(expected))
                        << text << " read as " << got << " instead of " << expected;
                    ASSERT_EQ(pos, text.size()) << text;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 200000);
    // The case that shows it: 17 digits, one unit above halfway between 100000000 and
    // 100000008.
    size_t pos = 0;
    float value = 0;
    ASSERT_TRUE(QzScanNumber("100000004.00000001", pos, value));
    EXPECT_EQ(value, 100000008.0f);
}

TEST(ScanLine, CountsFieldsAsThePatternDoes) {
    struct Case {
        const char* text;
        int fields;
    } cases[] = {
        {"", 0},
        {"x 1 2", 0},
        {"+", 0},
        {"3", 1},
        {"2 24", 2},
        {"2 24 0 0 0 1 1", 7},
        {"2 24 0 0 0 1 1 1", 8},
        {"2 24 0 0 0 1 1 1 extra", 8},  // words after the numbers are not counted
        {"2 24 0 0 0 1 1 1 5", 9},
        {"1 16 0 0 0 1 0 0 0 1 0 0 0 1", 14},
        {"1 16 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat", 15},
        {"1 16 0 0 0 1 0 0 0 1 0 0 3001.dat", 13},
        {"4 16 0 0 0 1 0 0 1 1 0 0 1 0 x", 15},
        {"3 16 1 2 3 4 5 inf 7 8 9", 7},
    };
    for (const Case& c : cases) EXPECT_EQ(QzScanLine(c.text).fields, c.fields) << c.text;
}

TEST(ScanLine, SplitsTypeColourNumbersAndName) {
    QzScannedLine scan = QzScanLine("+1 0x2FF0000 1 2 3 4 5 6 7 8 9 10 11 12 s\\3001s01.dat");
    EXPECT_EQ(scan.fields, 15);
    EXPECT_EQ(scan.type, 1);
    EXPECT_EQ(scan.colour, "0x2FF0000");
    for (int i = 0; i < 12; ++i) EXPECT_EQ(scan.numbers[i], i + 1);
    EXPECT_EQ(scan.name, "s\\3001s01.dat");
    EXPECT_FALSE(scan.tooLong);
}

// The numbers of a line are read in the line's own faster way: whatever their forms and
// the white space between them, they are what QzScanNumber reads one after the other.
TEST(ScanLine, NumbersAreThoseQzScanNumberReads) {
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const char* forms[] = {"0",
                           "-1",
                           "12.5",
                           "-0.707107",
                           "+3",
                           "5.",
                           ".25",
                           "-.5",
                           "1e3",
                           "0x1A",
                           "-0",
                           "123456789",
                           "1.123456789",
                           "7abc",
                           "1.2.3",
                           "00000000000000001",
                           "-",
                           ".",
                           "inf",
                           "2e",
                           "99999999999999.9",
                           "0.000000001",
                           "12345678901234567890"};
    const char* blanks[] = {" ", "  ", "\t", " \t ", "\v", "\r"};
    for (int n = 0; n < 200000; ++n) {
        std::string line = "1 16";
        const int count = static_cast<int>(next() % 14);
        for (int k = 0; k < count; ++k) {
            line += blanks[next() % std::size(blanks)];
            if (next() % 3 == 0) {
                line += forms[next() % std::size(forms)];
            } else {
                if (next() & 1) line += '-';
                for (int d = static_cast<int>(next() % 6); d >= 0; --d)
                    line += static_cast<char>('0' + next() % 10);
                if (next() & 1) line += '.';
                for (int d = static_cast<int>(next() % 10); d > 0; --d)
                    line += static_cast<char>('0' + next() % 10);
            }
        }
        if (next() & 1) line += " part.dat";
        const QzScannedLine scan = QzScanLine(line);
        size_t pos = 4;
        int fields = 2;
        for (const float number : scan.numbers) {
            float expected = 0;
            if (!QzScanNumber(line, pos, expected)) break;
            ++fields;
            ASSERT_EQ(std::bit_cast<uint32_t>(number), std::bit_cast<uint32_t>(expected)) << line;
        }
        ASSERT_EQ(std::min(scan.fields, 14), fields) << line;
    }
}

TEST(ScanLine, NameIsTheRestOfTheLineBlanksIncluded) {
    QzScannedLine scan = QzScanLine("1 16 0 0 0 1 0 0 0 1 0 0 0 1   10179 - Hull  part.ldr");
    EXPECT_EQ(scan.fields, 15);
    EXPECT_EQ(scan.name, "10179 - Hull  part.ldr");
    // Numbers need no blank before the name, as with the C pattern.
    EXPECT_EQ(QzScanLine("1 16 0 0 0 1 0 0 0 1 0 0 0 1abc.dat").name, "abc.dat");
}

TEST(ScanLine, TokensLongerThanTheWorkingBufferAreFlagged) {
    std::string prefix = "1 16 0 0 0 1 0 0 0 1 0 0 0 1 ";
    EXPECT_FALSE(QzScanLine(prefix + std::string(263, 'a')).tooLong);
    EXPECT_TRUE(QzScanLine(prefix + std::string(264, 'a')).tooLong);
    EXPECT_TRUE(QzScanLine("2 " + std::string(300, '1') + " 0 0 0 1 1 1").tooLong);
}

TEST(ScanLine, TypeBeyondThe32BitRangeStaysOutOfRange) {
    EXPECT_EQ(QzScanLine("4294967297 16").type > 5, true);
    EXPECT_EQ(QzScanLine("-4294967295 16").type < 0, true);
}

TEST(ParseColour, DecimalOrHexadecimalWithoutSign) {
    struct Case {
        const char* text;
        int32_t colour;
    } cases[] = {
        {"16", 16},
        {"0", 0},
        {"007", 7},
        {"0x2FF8000", 0x2FF8000},
        {"0X2ff8000", 0x2FF8000},
        {"0x7FFFFFFF", 0x7FFFFFFF},
        {"2147483647", 2147483647},
        {"-4", -1},
        {"+4", -1},
        {"", -1},
        {"0x", -1},
        {"12a", -1},
        {"0x1G", -1},
        {"4.0", -1},
        {"2147483648", -1},
        {"0xFFFFFFFF", -1},
        {"99999999999999999999", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(QzParseColour(c.text), c.colour) << c.text;
}

class ParseMeta : public ::testing::Test {
  protected:
    int Parse(const char* line) { return QzParseMeta(line, m, log); }
    QzMatrix m{};
    std::string inputLog;
    std::vector<QzDiagnostic> diagnostics;
    QzLogContext log{inputLog, diagnostics};
};

void ExpectRows(const QzMatrix& m, const float (&rows)[3][4]) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], rows[r][c], 1e-6) << r << "," << c;
    }
    EXPECT_EQ(m.m[3][0], 0);
    EXPECT_EQ(m.m[3][1], 0);
    EXPECT_EQ(m.m[3][2], 0);
    EXPECT_EQ(m.m[3][3], 1);
}

TEST_F(ParseMeta, KindsAndTheirMatrices) {
    ASSERT_EQ(Parse("0 TRANSLATE 1 2 3"), QZ_BLOCK_TRANSLATE);
    ExpectRows(m, {{1, 0, 0, 1}, {0, 1, 0, 2}, {0, 0, 1, 3}});
    ASSERT_EQ(Parse("0 SCALE 2.5"), QZ_BLOCK_SCALE);
    ExpectRows(m, {{2.5, 0, 0, 0}, {0, 2.5, 0, 0}, {0, 0, 2.5, 0}});
    ASSERT_EQ(Parse("0 ROTATE 90 0 2 0"), QZ_BLOCK_ROTATE);
    ExpectRows(m, {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}});
    ASSERT_EQ(Parse("0 TRANSFORM 1 2 3 4 5 6 7 8 9 10 11 12"), QZ_BLOCK_TRANSFORM);
    ExpectRows(m, {{4, 5, 6, 1}, {7, 8, 9, 2}, {10, 11, 12, 3}});
    EXPECT_EQ(inputLog, "");
}

// Rotations about the other axes and oblique ones, worked out by hand: each term of the
// matrix, and the sign of each sine term, shows in at least one row.
TEST_F(ParseMeta, RotationsAboutAnyAxis) {
    struct Case {
        const char* line;
        float rows[3][4];
    };
    const Case cases[] = {
        {"0 ROTATE 90 1 0 0", {{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}}},
        {"0 ROTATE -90 3 0 0", {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}}},
        {"0 ROTATE 90 0 0 1", {{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}}},
        {"0 ROTATE 270 0 0 -1", {{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}}},
        // A third of a turn about the diagonal takes x to y, y to z and z to x.
        {"0 ROTATE 120 1 1 1", {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}}},
        {"0 ROTATE -120 2 2 2", {{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}}},
        {"0 ROTATE 180 1 0 1", {{0, 0, 1, 0}, {0, -1, 0, 0}, {1, 0, 0, 0}}},
        // 60 degrees about x and y together: c = 1/2, s = sqrt(3)/2, axis (1, 1, 0)/sqrt(2).
        {"0 ROTATE 60 1 1 0",
         {{0.75f, 0.25f, 0.6123724f, 0},
          {0.25f, 0.75f, -0.6123724f, 0},
          {-0.6123724f, 0.6123724f, 0.5f, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(Parse(c.line), QZ_BLOCK_ROTATE);
        ExpectRows(m, c.rows);
    }
    EXPECT_EQ(inputLog, "");
}

TEST_F(ParseMeta, EndFormsAndNonMatches) {
    EXPECT_EQ(Parse("0 TRANSLATE END"), -QZ_BLOCK_TRANSLATE);
    EXPECT_EQ(Parse("0 ROTATE END 1 2"), -QZ_BLOCK_ROTATE);
    EXPECT_EQ(Parse("0 SCALE\tEND"), -QZ_BLOCK_SCALE);
    EXPECT_EQ(Parse("0 TRANSFORM END"), -QZ_BLOCK_TRANSFORM);
    EXPECT_EQ(Parse("0 translate 1 2 3"), 0);
    EXPECT_EQ(Parse("0 TRANSLATED 1 2 3"), 0);
    EXPECT_EQ(Parse("0 STEP"), 0);
    EXPECT_EQ(Parse("0"), 0);
    EXPECT_EQ(inputLog, "");
}

TEST_F(ParseMeta, WrongNumberCountIsIllegalSyntax) {
    log.currentFile = "f.dat";
    log.currentLine = 4;
    log.currentLineText = "0 TRANSLATE 1 2";
    EXPECT_EQ(Parse("0 TRANSLATE 1 2"), 0);
    log.currentLineText = "0 SCALE 1 2";
    EXPECT_EQ(Parse("0 SCALE 1 2"), 0);
    log.currentLineText = "0 ROTATE ENDS";
    EXPECT_EQ(Parse("0 ROTATE ENDS"), 0);
    EXPECT_EQ(inputLog,
              "SKIPPING \"f.dat\" Line 4: Illegal syntax: 0 TRANSLATE 1 2\r\n"
              "SKIPPING \"f.dat\" Line 4: Illegal syntax: 0 SCALE 1 2\r\n"
              "SKIPPING \"f.dat\" Line 4: Illegal syntax: 0 ROTATE ENDS\r\n");
    // Numbers after the kind's count are not read at all.
    EXPECT_EQ(Parse("0 TRANSLATE 1 2 3 x"), QZ_BLOCK_TRANSLATE);
}

TEST_F(ParseMeta, ZeroAxisWarnsAndKeepsTheCosineDiagonal) {
    log.currentFile = "f.dat";
    log.currentLine = 2;
    log.currentLineText = "0 ROTATE 60 0 0 0";
    ASSERT_EQ(Parse("0 ROTATE 60 0 0 0"), QZ_BLOCK_ROTATE);
    ExpectRows(m, {{0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.5, 0}});
    EXPECT_EQ(inputLog, "WARNING \"f.dat\" Line 2: Zero vector: 0 ROTATE 60 0 0 0\r\n");
}

}  // namespace
