#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace backoffice::csv {

// One record of a CSV file: its fields, and the line it starts on (1 for the
// first line; a quoted field with line breaks spans several).
struct Record {
    std::vector<std::string> fields;
    long line = 0;
};

// Reads CSV (RFC 4180) as it streams by, one record at a time, so a file of
// any size needs no more memory than its longest record: quoted fields with
// separators, doubled quotes and line breaks inside; CRLF or LF; UTF-8 with or
// without a byte-order mark. The separator is ',' or ';', whichever the first
// record (the header) holds more of outside quotes. Blank lines are skipped.
//
// The first fault ends the reading: the rest of a file with a stray quote
// cannot be told apart reliably, so nothing after it is guessed at.
class Reader {
public:
    static constexpr std::size_t kMaxRecord = 1 << 20; // bytes of one record

    explicit Reader(std::istream& in, std::size_t maxRecord = kMaxRecord);

    // The next record; false at the end or on a fault (see error()).
    bool next(Record& record);
    // Why reading stopped early, with the line it stopped on; empty at a
    // clean end.
    const std::string& error() const { return error_; }
    long errorLine() const { return errorLine_; }
    char separator() const { return separator_; }

private:
    int peek();
    int get();
    bool fill();
    void detectSeparator();
    bool fail(const std::string& reason, long line);

    std::istream& in_;
    std::size_t maxRecord_;
    std::string buffer_;
    std::size_t position_ = 0;
    bool eof_ = false;
    bool started_ = false;
    char separator_ = ',';
    long line_ = 1;
    std::string error_;
    long errorLine_ = 0;
};

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& text);

// One record as CSV with `separator` and CRLF: fields quoted only when they
// hold a quote, a line break or either separator.
std::string FormatRecord(const std::vector<std::string>& fields, char separator = ',');

} // namespace backoffice::csv
