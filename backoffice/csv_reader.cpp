#include "backoffice/csv_reader.h"

#include <cstring>

namespace backoffice::csv {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
} // namespace

Reader::Reader(std::istream& in, std::size_t maxRecord) : in_(in), maxRecord_(maxRecord) {}

bool Reader::fill() {
    if (eof_) {
        return false;
    }
    if (position_ > 0) {
        buffer_.erase(0, position_);
        position_ = 0;
    }
    const std::size_t had = buffer_.size();
    buffer_.resize(had + kChunk);
    in_.read(buffer_.data() + had, static_cast<std::streamsize>(kChunk));
    const std::size_t got = static_cast<std::size_t>(in_.gcount());
    buffer_.resize(had + got);
    if (got == 0) {
        eof_ = true;
    }
    return got > 0;
}

int Reader::peek() {
    if (position_ >= buffer_.size() && !fill()) {
        return -1;
    }
    return static_cast<unsigned char>(buffer_[position_]);
}

int Reader::get() {
    const int c = peek();
    if (c >= 0) {
        ++position_;
    }
    return c;
}

// Looks ahead over the header (at most one record's length) without
// consuming it.
void Reader::detectSeparator() {
    bool quoted = false;
    std::size_t commas = 0, semicolons = 0;
    for (std::size_t k = 0; k < maxRecord_; ++k) {
        // fill() moves the unread bytes to the front: count from position_.
        if (position_ + k >= buffer_.size() && !fill()) {
            break;
        }
        const char c = buffer_[position_ + k];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            break;
        } else if (!quoted && c == ',') {
            ++commas;
        } else if (!quoted && c == ';') {
            ++semicolons;
        }
    }
    separator_ = semicolons > commas ? ';' : ',';
}

bool Reader::fail(const std::string& reason, long line) {
    error_ = reason;
    errorLine_ = line;
    eof_ = true;
    buffer_.clear();
    position_ = 0;
    return false;
}

bool Reader::next(Record& record) {
    if (!error_.empty()) {
        return false;
    }
    if (!started_) {
        started_ = true;
        if (peek() == 0xEF) {
            // A byte-order mark is only ever at the start; anything else
            // starting with 0xEF is left to the UTF-8 check.
            fill();
            if (buffer_.compare(position_, 3, "\xEF\xBB\xBF") == 0) {
                position_ += 3;
            }
        }
        detectSeparator();
    }
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };
    for (;;) {
        record.fields.clear();
        record.line = line_;
        std::string field;
        std::size_t size = 0;
        State state = State::FieldStart;
        bool any = false; // anything but an empty line
        for (;;) {
            const int c = get();
            if (c < 0) {
                if (state == State::Quoted) {
                    return fail("a quoted field is not closed", record.line);
                }
                if (!any && field.empty() && record.fields.empty()) {
                    return false;
                }
                record.fields.push_back(std::move(field));
                break;
            }
            if (c == 0) {
                return fail("a NUL byte: this is no text file", line_);
            }
            if (++size > maxRecord_) {
                return fail("a line longer than " + std::to_string(maxRecord_ / 1024) + " KiB",
                            record.line);
            }
            const char ch = static_cast<char>(c);
            bool endOfRecord = false;
            switch (state) {
            case State::FieldStart:
            case State::Unquoted:
                if (ch == '"') {
                    if (state == State::Unquoted) {
                        return fail("a quote inside a field that does not start with one", line_);
                    }
                    state = State::Quoted;
                    any = true;
                } else if (ch == separator_) {
                    record.fields.push_back(std::move(field));
                    field.clear();
                    state = State::FieldStart;
                    any = true;
                } else if (ch == '\r' || ch == '\n') {
                    endOfRecord = true;
                } else {
                    field += ch;
                    state = State::Unquoted;
                    any = true;
                }
                break;
            case State::Quoted:
                if (ch == '"') {
                    state = State::QuoteInQuoted;
                } else {
                    if (ch == '\n') {
                        ++line_;
                    }
                    field += ch;
                }
                break;
            case State::QuoteInQuoted:
                if (ch == '"') {
                    field += '"';
                    state = State::Quoted;
                } else if (ch == separator_) {
                    record.fields.push_back(std::move(field));
                    field.clear();
                    state = State::FieldStart;
                } else if (ch == '\r' || ch == '\n') {
                    endOfRecord = true;
                } else {
                    return fail("text after the closing quote of a field", line_);
                }
                break;
            }
            if (endOfRecord) {
                if (ch == '\r' && peek() == '\n') {
                    get();
                }
                ++line_;
                record.fields.push_back(std::move(field));
                break;
            }
        }
        if (!any && record.fields.size() == 1 && record.fields[0].empty()) {
            continue; // a blank line
        }
        for (const std::string& f : record.fields) {
            if (!IsUtf8(f)) {
                return fail("text that is not UTF-8", record.line);
            }
        }
        return true;
    }
}

bool IsUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned minimum = 0, value = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, value = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (s[i + k] & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string FormatRecord(const std::vector<std::string>& fields, char separator) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        const std::string& f = fields[i];
        // Either separator is quoted, so a reader that guesses the separator
        // from the header counts only the real ones; a lone empty field is
        // quoted so that it is no blank line.
        const bool quote =
            f.find_first_of("\"\r\n,;") != std::string::npos || (f.empty() && fields.size() == 1);
        if (!quote) {
            out += f;
            continue;
        }
        out += '"';
        for (const char c : f) {
            if (c == '"') {
                out += '"';
            }
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
    return out;
}

} // namespace backoffice::csv
