#include "recording_back_office.h"

#include "model/korvo_doc.h"

using Message = RecordingBackOffice::Message;

void RecordingBackOffice::fail(Message message, const QString& text, int times) {
    for (int i = 0; i < times; ++i) {
        failures_[message].push_back(SendResult::failed(text));
    }
}

QList<Message> RecordingBackOffice::messages() const {
    QList<Message> out;
    for (const Exchange& e : exchanges) {
        out << e.message;
    }
    return out;
}

SendResult RecordingBackOffice::exchange(Exchange e) {
    exchanges << e;
    auto queued = failures_.find(e.message);
    if (queued != failures_.end() && !queued->empty()) {
        const SendResult result = queued->front();
        queued->pop_front();
        return result;
    }
    if (auto answer = answers_.find(e.message); answer != answers_.end() && *answer) {
        (*answer)(doc_, e);
    }
    return SendResult::ok();
}

int RecordingBackOffice::settings(bool interactive, const QString& servicePath) {
    Exchange e{Message::Settings};
    e.interactive = interactive;
    e.path = servicePath;
    return exchange(e).isOk() ? 0 : 2;
}

int RecordingBackOffice::route() {
    return exchange({Message::Route}).isOk() ? 0 : 2;
}

int RecordingBackOffice::packingNoteList(NoteListKind kind) {
    return exchange({Message::PackingNoteList, WireValue(kind)}).isOk() ? 0 : 2;
}

EmployeeAnswer RecordingBackOffice::employee(std::int32_t employeeNumber) {
    Exchange e{Message::Employee};
    e.numbers[0] = employeeNumber;
    EmployeeAnswer answer;
    const SendResult result = exchange(e);
    if (!result.isOk()) {
        answer.text = result.text();
        return answer;
    }
    answer.answered = true;
    answer.found = employees.contains(employeeNumber);
    if (answer.found) {
        doc_.employeeConfirmed = true;
        answer.text = employees.value(employeeNumber);
    }
    return answer;
}

SendResult RecordingBackOffice::packingNote(NoteAction action, const QString& scannedNoteNumber) {
    Exchange e{Message::PackingNote, WireValue(action)};
    e.input = scannedNoteNumber;
    return exchange(e);
}

SendResult RecordingBackOffice::packingNoteContainer(const QString& containerIdCode) {
    Exchange e{Message::PackingNoteContainer};
    e.input = containerIdCode;
    return exchange(e);
}

SendResult RecordingBackOffice::packingNoteLines() {
    return exchange({Message::PackingNoteLines});
}

SendResult RecordingBackOffice::containerScan(const QString& containerIdCode) {
    Exchange e{Message::ContainerScan};
    e.input = containerIdCode;
    return exchange(e);
}

SendResult RecordingBackOffice::deliveredQuantity(QuantityPurpose purpose) {
    return exchange({Message::DeliveredQuantity, static_cast<int>(purpose)});
}

SendResult RecordingBackOffice::poolScan(const QString& idCode, std::int32_t action,
                                         std::int32_t uniqueItemId, std::int32_t uniqueBundleId) {
    Exchange e{Message::PoolScan};
    e.input = idCode;
    e.numbers[0] = action;
    e.numbers[1] = uniqueItemId;
    e.numbers[2] = uniqueBundleId;
    return exchange(e);
}

SendResult RecordingBackOffice::count() {
    return exchange({Message::Count});
}

SendResult RecordingBackOffice::print(std::uint16_t colli, int orderForm) {
    Exchange e{Message::Print};
    e.numbers[0] = colli;
    e.numbers[1] = orderForm;
    return exchange(e);
}

SendResult RecordingBackOffice::process() {
    return exchange({Message::Process});
}

const char* MessageName(Message message) {
    switch (message) {
    case Message::Settings:
        return "Settings";
    case Message::Route:
        return "Route";
    case Message::PackingNoteList:
        return "PackingNoteList";
    case Message::Employee:
        return "Employee";
    case Message::PackingNote:
        return "PackingNote";
    case Message::PackingNoteContainer:
        return "PackingNoteContainer";
    case Message::PackingNoteLines:
        return "PackingNoteLines";
    case Message::ContainerScan:
        return "ContainerScan";
    case Message::DeliveredQuantity:
        return "DeliveredQuantity";
    case Message::PoolScan:
        return "PoolScan";
    case Message::Count:
        return "Count";
    case Message::Print:
        return "Print";
    case Message::Process:
        return "Process";
    }
    return "?";
}

std::ostream& operator<<(std::ostream& os, Message message) {
    return os << MessageName(message);
}

std::ostream& operator<<(std::ostream& os, const RecordingBackOffice::Exchange& e) {
    return os << "{" << MessageName(e.message) << " action " << e.action << " \""
              << e.input.toStdString() << "\" " << e.numbers[0] << "/" << e.numbers[1] << "/"
              << e.numbers[2] << "}";
}
