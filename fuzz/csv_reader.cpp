// The CSV reader of the back office's import: any bytes as a file, read to the
// end or the first fault; what was read, written back and read again, must
// give the same records. Built with KORVANE_FUZZ=ON.
#include "backoffice/csv_reader.h"

#include <cstdint>
#include <sstream>

namespace csv = backoffice::csv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr std::size_t kLimit = 4096;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    csv::Reader reader(in, kLimit);
    std::vector<std::vector<std::string>> records;
    csv::Record record;
    while (reader.next(record)) {
        for (const std::string& field : record.fields) {
            if (!csv::IsUtf8(field) || field.size() > kLimit) {
                __builtin_trap();
            }
        }
        records.push_back(record.fields);
    }
    // A byte-order mark first, so that one the first field began with survives.
    std::string again = "\xEF\xBB\xBF";
    for (const auto& fields : records) {
        again += csv::FormatRecord(fields, reader.separator());
    }
    std::istringstream in2(again);
    csv::Reader reread(in2, 2 * kLimit + 16);
    std::size_t i = 0;
    while (reread.next(record)) {
        if (i >= records.size() || record.fields != records[i]) {
            __builtin_trap();
        }
        ++i;
    }
    if (i != records.size() || !reread.error().empty()) {
        __builtin_trap();
    }
    return 0;
}
