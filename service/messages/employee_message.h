#pragma once

#include "service/messages/catalogue_message.h"

#include <optional>

// Looks up an employee by number; the answer's id becomes the work state's
// `employee`, sent with later packing-note, print and process requests.
class EmployeeMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    EmployeeMessage(CKorvoDoc& doc, bool interactive);

    void setEmployeeNumber(std::int32_t number) { employeeNumber_ = number; }
    // The employee of the answer; none before an answer was parsed.
    const std::optional<Employee>& result() const { return result_; }
    // The answer carried an `Employee` element (a number the back office knows).
    bool found() const { return found_; }

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    std::int32_t employeeNumber_ = 0;
    std::optional<Employee> result_;
    bool found_ = false;
};

// Sends the employee message. Returns the employee's name (possibly empty) and
// sets `employeeConfirmed` when the back office knew the number, else the text
// that was shown.
QString SendEmployeeMessage(CKorvoDoc& doc, std::int32_t employeeNumber, const QString& webPath,
                            bool interactive);
