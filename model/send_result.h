#pragma once

#include "model/navigation_ids.h"

#include <QString>
#include <cstdint>
#include <utility>

// How one request to the back office ended, so a caller asks what happened
// instead of comparing the text it was shown.
class SendResult {
public:
    enum class Outcome : std::uint8_t {
        Ok,      // answered; the answer's records are in the work state
        Refused, // answered with an error code (code() and the text shown)
        Failed,  // no usable answer: no connection, a fault, an unreadable answer
    };

    // Nothing vouches for an exchange that was never completed: a failure.
    SendResult() = default;
    static SendResult ok() { return SendResult(Outcome::Ok, QString(), QString()); }
    static SendResult refused(QString code, QString text) {
        return SendResult(Outcome::Refused, std::move(code), std::move(text));
    }
    static SendResult failed(QString text) {
        return SendResult(Outcome::Failed, QString(), std::move(text));
    }

    Outcome outcome() const { return outcome_; }
    bool isOk() const { return outcome_ == Outcome::Ok; }
    // The back office's code of a refusal; empty otherwise.
    const QString& code() const { return code_; }
    // The text the worker was shown; empty for Ok.
    const QString& text() const { return text_; }
    // The word a workflow step answers the navigation with: Result::Ok, or
    // the text that was shown.
    QString operationText() const { return isOk() ? Result::Ok : text_; }

private:
    SendResult(Outcome outcome, QString code, QString text)
        : outcome_(outcome), code_(std::move(code)), text_(std::move(text)) {}

    Outcome outcome_ = Outcome::Failed;
    QString code_;
    QString text_;
};
