#include "model/scan_rules.h"

#include <gtest/gtest.h>

namespace {

struct InputCase {
    const char* name;
    ScanKind kind;
    QString raw;
    QString kept;
    ScanCheck::Message message;
};

TEST(ScanInput, FiltersAndLimits) {
    const QString digits18 = "123456789012345678";
    const QString chars24 = "ABCDEFGHIJKLMNOPQRSTUVWX";
    const InputCase cases[] = {
        {"empty", ScanKind::NoteNumber, "", "", ScanCheck::None},
        {"18 digits", ScanKind::NoteNumber, digits18, digits18, ScanCheck::None},
        {"a 19th digit", ScanKind::NoteNumber, digits18 + "9", digits18, ScanCheck::TooLong},
        {"a letter between digits", ScanKind::NoteNumber, "12a34", "1234",
         ScanCheck::InvalidCharacters},
        {"minus sign", ScanKind::NoteNumber, "-5", "5", ScanCheck::InvalidCharacters},
        {"burst of two labels", ScanKind::NoteNumber, digits18 + digits18, digits18,
         ScanCheck::TooLong},
        {"paste with letters over the limit", ScanKind::NoteNumber, "AB" + digits18 + "77",
         digits18, ScanCheck::TooLong},
        {"19 raw, 18 digits: the length message", ScanKind::NoteNumber, "12345678901234567x8",
         "123456789012345678", ScanCheck::TooLong},
        {"non-ASCII digit", ScanKind::NoteNumber, QString::fromUtf8("1\u0663"), "1",
         ScanCheck::InvalidCharacters},
        {"24 letters", ScanKind::ContainerId, chars24, chars24, ScanCheck::None},
        {"a 25th", ScanKind::ContainerId, chars24 + "Y", chars24, ScanCheck::TooLong},
        {"hyphen and blank", ScanKind::ContainerId, "AB-12 cd", "AB12cd",
         ScanCheck::InvalidCharacters},
        {"letter whose low byte is a letter", ScanKind::ContainerId, QString::fromUtf8("A\u0141"),
         "A", ScanCheck::InvalidCharacters},
    };
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ScanCheck check = CheckScanInput(c.kind, c.raw);
        EXPECT_EQ(check.text, c.kept);
        EXPECT_EQ(check.message, c.message);
    }
}

TEST(ScanInput, MessagesByKind) {
    EXPECT_STREQ(ScanMessage(ScanKind::NoteNumber, ScanCheck::TooLong).text, "msg18CharsMax");
    EXPECT_STREQ(ScanMessage(ScanKind::ContainerId, ScanCheck::TooLong).text, "msg24CharsMax");
    EXPECT_STREQ(ScanMessage(ScanKind::ContainerId, ScanCheck::TooLong).caption,
                 "msgLengthExceeded");
    EXPECT_STREQ(ScanMessage(ScanKind::NoteNumber, ScanCheck::InvalidCharacters).text,
                 "msgCharAllow");
    EXPECT_STREQ(ScanMessage(ScanKind::ContainerId, ScanCheck::InvalidCharacters).text,
                 "msgAlphaAllow");
    EXPECT_STREQ(ScanMessage(ScanKind::ContainerId, ScanCheck::InvalidCharacters).caption,
                 "msgInvData");
}

struct RangeCase {
    const char* name;
    std::vector<ContainerIDCodeRange> ranges;
    QString label;
    ContainerRange expected;
};

TEST(ContainerRangeCheck, Table) {
    const std::vector<ContainerIDCodeRange> eightAndTen = {{8, "00100000", "00199999"},
                                                           {10, "0000000000", "0000099999"}};
    const std::vector<ContainerIDCodeRange> tenAndEight = {eightAndTen[1], eightAndTen[0]};
    const RangeCase cases[] = {
        {"no ranges", {}, "123", ContainerRange::NoRanges},
        {"7 characters padded to 8", eightAndTen, "0150000", ContainerRange::InRange},
        {"the same, ranges in the other order", tenAndEight, "0150000", ContainerRange::InRange},
        {"7 characters only against length 8", eightAndTen, "0000001", ContainerRange::OutOfRange},
        {"6 and 10, 8 characters pad to 10",
         {{6, "000000", "999999"}, {10, "0012345678", "0012345679"}},
         "12345678",
         ContainerRange::InRange},
        {"longer than every length", eightAndTen, "12345678901", ContainerRange::OutOfRange},
        {"the bounds are inside", {{4, "A000", "A999"}}, "A999", ContainerRange::InRange},
        {"case counts", {{4, "A000", "A999"}}, "a100", ContainerRange::OutOfRange},
        {"minimum above maximum", {{4, "9000", "1000"}}, "5000", ContainerRange::OutOfRange},
        {"second range of the same length",
         {{3, "100", "199"}, {3, "300", "399"}},
         "350",
         ContainerRange::InRange},
        {"absurd length is never padded to",
         {{2000000000, "0", "9"}},
         "5",
         ContainerRange::OutOfRange},
        {"negative lengths only", {{-1, "", ""}}, "5", ContainerRange::OutOfRange},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckContainerRange(c.label, c.ranges), c.expected);
    }
}

} // namespace
