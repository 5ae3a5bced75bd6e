// The CSV reader: named cases, and a sample cut at every length.
#include "backoffice/csv_reader.h"

#include <gtest/gtest.h>
#include <sstream>

namespace csv = backoffice::csv;

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct Read {
    Rows rows;
    std::vector<long> lines;
    std::string error;
    char separator = 0;
};

Read ReadAll(const std::string& text, std::size_t maxRecord = csv::Reader::kMaxRecord) {
    std::istringstream in(text);
    csv::Reader reader(in, maxRecord);
    Read out;
    csv::Record record;
    while (reader.next(record)) {
        out.rows.push_back(record.fields);
        out.lines.push_back(record.line);
    }
    out.error = reader.error();
    out.separator = reader.separator();
    return out;
}

struct Case {
    const char* name;
    std::string text;
    Rows rows;
    std::string error; // a part of it; empty: a clean end
    char separator = ',';
};

TEST(CsvReader, Cases) {
    const Case cases[] = {
        {"plain", "a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}, ""},
        {"crlf and no final line break", "a,b\r\n1,2", {{"a", "b"}, {"1", "2"}}, ""},
        {"separator inside quotes", "a,b\n\"x,y\",2\n", {{"a", "b"}, {"x,y", "2"}}, ""},
        {"doubled quotes", "a\n\"say \"\"hi\"\"\"\n", {{"a"}, {"say \"hi\""}}, ""},
        {"line break inside quotes",
         "a,b\n\"1\r\n2\",3\n4,5\n",
         {{"a", "b"}, {"1\r\n2", "3"}, {"4", "5"}},
         ""},
        {"empty fields",
         "a,b,c\n,,\n\"\",x,\n",
         {{"a", "b", "c"}, {"", "", ""}, {"", "x", ""}},
         ""},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "a,b\n1,2\n",
         {{"a", "b"}, {"1", "2"}},
         ""},
        {"semicolons as the header shows",
         "a;b;c\n1,5;2;3\n",
         {{"a", "b", "c"}, {"1,5", "2", "3"}},
         "",
         ';'},
        {"blank lines skipped", "a\n\n1\r\n\r\n2\n", {{"a"}, {"1"}, {"2"}}, ""},
        {"utf-8 kept", "a\nZo\xC3\xAB\n", {{"a"}, {"Zo\xC3\xAB"}}, ""},
        {"unterminated quote", "a\n\"open\n", {{"a"}}, "not closed"},
        {"quote inside an unquoted field", "a\nab\"c\n", {{"a"}}, "quote inside"},
        {"text after the closing quote", "a\n\"ab\"c\n", {{"a"}}, "after the closing quote"},
        {"NUL byte", std::string("a\nb\0c\n", 6), {{"a"}}, "NUL"},
        {"latin-1, not utf-8", "a\nZo\xEB\n", {{"a"}}, "not UTF-8"},
        {"overlong utf-8", "a\n\xC0\xAF\n", {{"a"}}, "not UTF-8"},
        {"surrogate in utf-8", "a\n\xED\xA0\x80\n", {{"a"}}, "not UTF-8"},
    };
    for (const Case& c : cases) {
        const Read read = ReadAll(c.text);
        EXPECT_EQ(read.rows, c.rows) << c.name;
        EXPECT_EQ(read.separator, c.separator) << c.name;
        if (c.error.empty()) {
            EXPECT_EQ(read.error, "") << c.name;
        } else {
            EXPECT_NE(read.error.find(c.error), std::string::npos) << c.name << ": " << read.error;
        }
    }
}

TEST(CsvReader, RecordsKnowTheLineTheyStartOn) {
    const Read read = ReadAll("a,b\n\"1\n2\n3\",x\n\n4,y\n");
    EXPECT_EQ(read.lines, (std::vector<long>{1, 2, 6}));
}

TEST(CsvReader, ARecordLongerThanTheLimitEndsTheReading) {
    const Read read = ReadAll("a\n" + std::string(100, 'x') + "\nb\n", 64);
    EXPECT_EQ(read.rows, (Rows{{"a"}}));
    EXPECT_NE(read.error.find("longer than"), std::string::npos);
    // A quoted field that never closes is cut at the limit too, not read to the end.
    EXPECT_NE(ReadAll("a\n\"" + std::string(1000, 'x'), 64).error.find("longer than"),
              std::string::npos);
}

// Cut anywhere, a file gives the records before the cut unchanged, the one
// it cut at most shortened, or a clean error: never more, never garbage.
TEST(CsvReader, TruncatedAtEveryLength) {
    const std::string sample = "\xEF\xBB\xBF"
                               "plant;note;customer\r\n3000;\"71\";\"Hotel \"\"De Kroon\"\";\r\n"
                               "kitchen\"\r\n3000;72;Caf\xC3\xA9\r\n";
    const Read whole = ReadAll(sample);
    ASSERT_EQ(whole.error, "");
    ASSERT_EQ(whole.rows.size(), 3u);
    for (std::size_t length = 0; length <= sample.size(); ++length) {
        const Read cut = ReadAll(sample.substr(0, length));
        ASSERT_LE(cut.rows.size(), whole.rows.size()) << length;
        for (std::size_t i = 0; i + 1 < cut.rows.size(); ++i) {
            EXPECT_EQ(cut.rows[i], whole.rows[i]) << "cut at " << length;
        }
    }
}

TEST(CsvReader, WrittenRecordsReadBackTheSame) {
    const Rows rows = {{"plain", "with,comma", "with \"quotes\"", "two\r\nlines", "", ";"}};
    for (const char separator : {',', ';'}) {
        std::string text = csv::FormatRecord({"h1", "h2", "h3", "h4", "h5", "h6"}, separator);
        text += csv::FormatRecord(rows[0], separator);
        const Read read = ReadAll(text);
        ASSERT_EQ(read.rows.size(), 2u);
        EXPECT_EQ(read.rows[1], rows[0]) << separator;
    }
}

} // namespace
