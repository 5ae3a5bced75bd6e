#include "model/pool_scan_rules.h"

#include "model/korvo_doc.h"

#include <algorithm>

namespace {

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

void takeQuantities(packingnoteline& target, const packingnoteline& answer) {
    target.QO = answer.QO;
    target.QD = answer.QD;
    target.parsedQuantity = answer.QD;
    target.lineFlag = answer.lineFlag;
}

// Whether the walk, going on after `position`, reaches another information
// message before it ends.
bool informationFollows(const std::vector<Flag>& flags, std::size_t position) {
    for (std::size_t i = position + 1; i < flags.size(); ++i) {
        switch (flags[i].A) {
        case kInformation:
            return true;
        case kAcknowledge:
            continue;
        default:
            return false;
        }
    }
    return false;
}

} // namespace

bool PoolScanAccepted(const std::optional<PoolScanResult>& result) {
    return result && (result->flags.empty() || result->StatusCode == kPoolScanAccepted);
}

bool ConfirmationAccepted(const SendResult& sent, const std::optional<PoolScanResult>& result) {
    return sent.isOk() && result && result->StatusCode == kPoolScanAccepted;
}

void TakeAcceptedLine(CKorvoDoc& doc) {
    if (!doc.poolScanResult || !doc.poolScanResult->line) {
        return;
    }
    const packingnoteline& answer = *doc.poolScanResult->line;
    if (doc.packingNoteLines) {
        for (packingnoteline& line : doc.packingNoteLines->lines) {
            if (line.PNLID == answer.PNLID) {
                takeQuantities(line, answer);
                break;
            }
        }
    }
    if (doc.currentLine && doc.currentLine->PNLID == answer.PNLID) {
        takeQuantities(*doc.currentLine, answer);
    }
}

bool OutScanLeaveNeedsQuestion(const std::optional<packingnoteline>& currentLine) {
    // In 64 bits: the back office's quantities may be anything.
    return currentLine && std::int64_t(currentLine->QO) - currentLine->QD >= 1;
}

QString MessageColour(const QString& colour) {
    if (colour.size() == 6 && std::all_of(colour.begin(), colour.end(), isHexDigit)) {
        return colour;
    }
    return QStringLiteral("FFFFFF");
}

std::optional<ReturnMessageDialog> ReturnMessageAt(const std::vector<Flag>& flags, int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= flags.size()) {
        return std::nullopt;
    }
    const Flag& flag = flags[static_cast<std::size_t>(position)];
    ReturnMessageDialog dialog;
    dialog.kind = flag.A;
    switch (flag.A) {
    case kInformation:
        dialog.firstButton =
            informationFollows(flags, static_cast<std::size_t>(position)) ? "lblNext" : "lblClose";
        break;
    case kAcknowledge:
        dialog.firstButton = "lblOK"; // a message to confirm, not a question
        break;
    case kConfirm:
        dialog.firstButton = "lblYes";
        dialog.secondButton = "lblNo";
        break;
    case kReject:
        dialog.firstButton = "lblReject";
        break;
    default:
        return std::nullopt;
    }
    dialog.text = flag.D + QStringLiteral("\r\n\r\n") + flag.FT;
    dialog.colour = MessageColour(flag.C);
    return dialog;
}

WalkStep AnswerReturnMessage(int kind, DialogAnswer answer) {
    switch (kind) {
    case kInformation:
    case kAcknowledge:
        // Closing the dialog without its button ends the walk: the worker can
        // always get out of a long list of messages.
        return answer == DialogAnswer::First ? WalkStep::Continue : WalkStep::End;
    case kConfirm:
        return answer == DialogAnswer::First ? WalkStep::Confirm : WalkStep::Refuse;
    default:
        return WalkStep::End;
    }
}

Confirmation ConfirmationFor(const PoolScanResult& result) {
    if (result.UniqueItem_ID != 0) {
        return {true, result.UniqueItem_ID, 0};
    }
    if (result.UniqueBundle_ID != 0) {
        return {true, 0, result.UniqueBundle_ID};
    }
    return {};
}

PoolScanStep PoolScanWalk::scanned(const SendResult& sent,
                                   const std::optional<PoolScanResult>& answer) {
    end();
    PoolScanStep step;
    if (!sent.isOk()) {
        step.shown = ScanShown::Failed;
        return step;
    }
    // The colour tells about this scan only: neutral unless it was accepted.
    step.shown = PoolScanAccepted(answer) ? ScanShown::Accepted : ScanShown::Neutral;
    if (answer && !answer->flags.empty()) {
        position_ = 0;
        step.nextMessage = true;
    }
    return step;
}

std::optional<ReturnMessageDialog>
PoolScanWalk::message(const std::optional<PoolScanResult>& answer) {
    if (!walking() || !answer) {
        end();
        return std::nullopt;
    }
    std::optional<ReturnMessageDialog> dialog = ReturnMessageAt(answer->flags, position_);
    if (!dialog) {
        end();
        return std::nullopt;
    }
    kind_ = dialog->kind;
    return dialog;
}

PoolScanStep PoolScanWalk::answered(DialogAnswer answer,
                                    const std::optional<PoolScanResult>& result) {
    PoolScanStep step;
    if (!walking()) {
        return step;
    }
    switch (AnswerReturnMessage(kind_, answer)) {
    case WalkStep::Continue:
        ++position_;
        step.nextMessage = true;
        return step;
    case WalkStep::Confirm:
        end();
        if (result) {
            if (const Confirmation confirmation = ConfirmationFor(*result); confirmation.send) {
                step.confirmation = confirmation;
            }
        }
        return step;
    case WalkStep::Refuse:
        end();
        step.shown = ScanShown::Failed;
        return step;
    case WalkStep::End:
        end();
        return step;
    }
    return step;
}

ScanShown PoolScanWalk::confirmed(const SendResult& sent,
                                  const std::optional<PoolScanResult>& answer) {
    return ConfirmationAccepted(sent, answer) ? ScanShown::Accepted : ScanShown::Unchanged;
}

void PoolScanWalk::end() {
    ++generation_;
    position_ = -1;
}
