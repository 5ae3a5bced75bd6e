#include "service/back_office.h"

#include "model/korvo_doc.h"
#include "platform/prompter.h"
#include "service/messages/messages.h"

int BackOffice::call(MessageKind kind, bool interactive, const QString& servicePath) {
    switch (kind) {
    case MessageKind::Settings:
        return settings(interactive, servicePath);
    case MessageKind::Route:
        return route();
    }
    return kServiceFailed;
}

int ServiceBackOffice::settings(bool interactive, const QString& servicePath) {
    return CallMessage(MessageKind::Settings, doc_, interactive, servicePath);
}

int ServiceBackOffice::route() {
    return CallMessage(MessageKind::Route, doc_, false, doc_.webServicePath);
}

int ServiceBackOffice::packingNoteList(NoteListKind kind) {
    return CallPackingNoteListMessage(doc_, kind, doc_.webServicePath);
}

EmployeeAnswer ServiceBackOffice::employee(std::int32_t employeeNumber) {
    WaitCursor wait;
    EmployeeMessage message(doc_, false);
    message.setEmployeeNumber(employeeNumber);
    EmployeeAnswer answer;
    if (message.CallService(ApplicationVersion, doc_.webServicePath, false) != kServiceOk) {
        answer.text = message.errorText();
        return answer;
    }
    answer.answered = true;
    answer.found = message.found();
    if (answer.found) {
        doc_.employeeConfirmed = true;
        answer.text = message.result()->N;
    }
    return answer;
}

SendResult ServiceBackOffice::packingNote(NoteAction action, const QString& scannedNoteNumber) {
    WaitCursor wait;
    return SendPackingNote(doc_, action, scannedNoteNumber, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::packingNoteContainer(const QString& containerIdCode) {
    WaitCursor wait;
    return SendPackingNoteContainer(doc_, containerIdCode, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::packingNoteLines() {
    WaitCursor wait;
    return SendPackingNoteLine(doc_, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::containerScan(const QString& containerIdCode) {
    WaitCursor wait;
    return SendContainerScan(doc_, containerIdCode, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::deliveredQuantity(QuantityPurpose purpose) {
    WaitCursor wait;
    return SendDeliveredQuantity(doc_, purpose, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::poolScan(const QString& idCode, std::int32_t action,
                                       std::int32_t uniqueItemId, std::int32_t uniqueBundleId) {
    WaitCursor wait;
    return SendPoolScan(doc_, idCode, action, uniqueItemId, uniqueBundleId, doc_.webServicePath,
                        false);
}

SendResult ServiceBackOffice::count() {
    WaitCursor wait;
    return SendCount(doc_, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::print(std::uint16_t colli, int orderForm) {
    WaitCursor wait;
    return SendPrint(doc_, colli, orderForm, doc_.webServicePath, false);
}

SendResult ServiceBackOffice::process() {
    WaitCursor wait;
    return SendProcess(doc_, doc_.webServicePath, false);
}
