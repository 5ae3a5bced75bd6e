#include "model/scan_rules.h"

#include <algorithm>
#include <limits>

namespace {

bool accepted(ScanKind kind, QChar c) {
    const char16_t u = c.unicode();
    const bool digit = u >= '0' && u <= '9';
    if (kind == ScanKind::NoteNumber) {
        return digit;
    }
    return digit || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

// No label is longer; a range claiming longer ids cannot match a scan and must
// not make the check pad a text to an absurd length.
constexpr int kLongestIdLength = 1024;

} // namespace

int ScanMaxLength(ScanKind kind) {
    return kind == ScanKind::NoteNumber ? 18 : 24;
}

ScanCheck CheckScanInput(ScanKind kind, const QString& raw) {
    const int max = ScanMaxLength(kind);
    const bool clean =
        std::all_of(raw.begin(), raw.end(), [&](QChar c) { return accepted(kind, c); });
    if (clean && raw.size() <= max) {
        return {raw, ScanCheck::None};
    }
    QString kept;
    kept.reserve(std::min<qsizetype>(raw.size(), max));
    for (const QChar c : raw) {
        if (accepted(kind, c)) {
            if (kept.size() == max) {
                break;
            }
            kept.append(c);
        }
    }
    return {kept, raw.size() > max ? ScanCheck::TooLong : ScanCheck::InvalidCharacters};
}

ScanMessageKeys ScanMessage(ScanKind kind, ScanCheck::Message message) {
    if (message == ScanCheck::TooLong) {
        return {kind == ScanKind::NoteNumber ? "msg18CharsMax" : "msg24CharsMax",
                "msgLengthExceeded"};
    }
    if (message == ScanCheck::InvalidCharacters) {
        return {kind == ScanKind::NoteNumber ? "msgCharAllow" : "msgAlphaAllow", "msgInvData"};
    }
    return {"", ""};
}

ContainerRange CheckContainerRange(const QString& label,
                                   const std::vector<ContainerIDCodeRange>& ranges) {
    if (ranges.empty()) {
        return ContainerRange::NoRanges;
    }
    const int n = static_cast<int>(std::min<qsizetype>(label.size(), kLongestIdLength + 1));
    int longest = std::numeric_limits<int>::min();
    for (const ContainerIDCodeRange& range : ranges) {
        longest = std::max(longest, range.L);
    }
    if (n > longest) {
        return ContainerRange::OutOfRange;
    }
    int chosen = std::numeric_limits<int>::max();
    for (const ContainerIDCodeRange& range : ranges) {
        if (range.L >= n) {
            chosen = std::min(chosen, range.L);
        }
    }
    if (chosen > kLongestIdLength) {
        return ContainerRange::OutOfRange;
    }
    const QString padded =
        label.size() >= chosen ? label : QString(chosen - label.size(), QLatin1Char('0')) + label;
    for (const ContainerIDCodeRange& range : ranges) {
        if (range.L == chosen && QString::compare(padded, range.MINR, Qt::CaseSensitive) >= 0 &&
            QString::compare(padded, range.MAXR, Qt::CaseSensitive) <= 0) {
            return ContainerRange::InRange;
        }
    }
    return ContainerRange::OutOfRange;
}
