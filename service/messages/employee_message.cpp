#include "service/messages/employee_message.h"

#include "service/xml_cursor.h"

const MessageInfo EmployeeMessage::kInfo = {"KORVANEEMPLOYEE", "ID011", "Retrieve", false,
                                            "Employee",        ""};

EmployeeMessage::EmployeeMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString EmployeeMessage::BuildRequest() {
    using namespace RequestPiece;
    const QString element = QStringLiteral("KorvaneEmployeeRequest");
    return DumpRequest(Declaration() + RootStart(element, element, true) + MobileDevice(doc()) +
                       Element(QStringLiteral("EmployeeNumber"), Signed(employeeNumber_)) +
                       QLatin1Char('\n') + RootEnd(element));
}

void EmployeeMessage::ParseResponse(const QString& document) {
    const XmlCursor employee =
        XmlCursor::LoadDocument(document).Descend("KorvaneEmployeeResponse").FindChild("Employee");
    found_ = employee.isElement();
    result_ = Employee{employee.AttributeInt("EID"), employee.AttributeText("N"),
                       employee.AttributeInt("ENR")};
    doc().employee = result_->EID;
}

QString SendEmployeeMessage(CKorvoDoc& doc, std::int32_t employeeNumber, const QString& webPath,
                            bool interactive) {
    EmployeeMessage message(doc, interactive);
    message.setEmployeeNumber(employeeNumber);
    if (message.CallService(ApplicationVersion, webPath, interactive) != kServiceOk) {
        return message.errorText();
    }
    // An answer without an employee is a number the back office does not know:
    // the worker must not get past the employee check with it.
    if (message.found()) {
        doc.employeeConfirmed = true;
    }
    return message.result() ? message.result()->N : QString();
}
