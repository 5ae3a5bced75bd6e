#pragma once

#include "model/send_result.h"
#include "model/work_kinds.h"
#include "service/messages/message_kind.h"

#include <QString>
#include <cstdint>

class CKorvoDoc;

// What the employee lookup learned. `answered` is false when the exchange
// itself failed (the text is then what was shown), so the screen can let the
// worker try the same number again.
struct EmployeeAnswer {
    bool answered = false;
    bool found = false; // the answer carried an employee
    QString text;       // the employee's name, or the text shown
};

// The one way screens and the navigation reach the back office: one operation
// per message. Every operation runs behind the wait cursor, reads what it needs
// from the work state it was made for and stores the answer's records there.
// Screens' sends say how the exchange ended (SendResult); the navigation's
// messages return the call's ServiceResult (0 on success).
class BackOffice {
public:
    virtual ~BackOffice() = default;

    // Sent by the navigation.
    virtual int settings(bool interactive, const QString& servicePath) = 0;
    virtual int route() = 0;
    virtual int packingNoteList(NoteListKind kind) = 0;

    // Sent by the screens, always to the configured service path and without
    // status pop-ups.
    virtual EmployeeAnswer employee(std::int32_t employeeNumber) = 0;
    // `scannedNoteNumber` is read for NoteAction::ScannedNumber only.
    virtual SendResult packingNote(NoteAction action, const QString& scannedNoteNumber) = 0;
    virtual SendResult packingNoteContainer(const QString& containerIdCode) = 0;
    virtual SendResult packingNoteLines() = 0;
    virtual SendResult containerScan(const QString& containerIdCode) = 0;
    virtual SendResult deliveredQuantity(QuantityPurpose purpose) = 0;
    virtual SendResult poolScan(const QString& idCode, std::int32_t action,
                                std::int32_t uniqueItemId, std::int32_t uniqueBundleId) = 0;
    virtual SendResult count() = 0;
    virtual SendResult print(std::uint16_t colli, int orderForm) = 0;
    virtual SendResult process() = 0;

    // The navigation's messages by kind.
    int call(MessageKind kind, bool interactive, const QString& servicePath);
};

// The real back office, over the service layer.
class ServiceBackOffice final : public BackOffice {
public:
    explicit ServiceBackOffice(CKorvoDoc& doc) : doc_(doc) {}

    int settings(bool interactive, const QString& servicePath) override;
    int route() override;
    int packingNoteList(NoteListKind kind) override;
    EmployeeAnswer employee(std::int32_t employeeNumber) override;
    SendResult packingNote(NoteAction action, const QString& scannedNoteNumber) override;
    SendResult packingNoteContainer(const QString& containerIdCode) override;
    SendResult packingNoteLines() override;
    SendResult containerScan(const QString& containerIdCode) override;
    SendResult deliveredQuantity(QuantityPurpose purpose) override;
    SendResult poolScan(const QString& idCode, std::int32_t action, std::int32_t uniqueItemId,
                        std::int32_t uniqueBundleId) override;
    SendResult count() override;
    SendResult print(std::uint16_t colli, int orderForm) override;
    SendResult process() override;

private:
    CKorvoDoc& doc_;
};
