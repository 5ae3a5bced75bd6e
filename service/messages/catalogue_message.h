#pragma once

#include "model/send_result.h"
#include "service/service_message.h"

#include <QString>
#include <cstdint>

// What the back office knows of one message type.
struct MessageInfo {
    const char* functionCode; // written into the service header
    const char* messageId;
    const char* transactionType; // "Retrieve" or "Update"
    bool versionInHeader;        // the header carries the program version
    const char* dumpName;        // "<name>REQUEST.xml", "<name>Response.xml"
    const char* logPrefix;       // context of parse-failure log lines; "" for none
};

// A message type of the catalogue: header, dumps and log prefix come from its
// MessageInfo; the type adds its request document and its parser.
class CatalogueMessage : public ServiceMessage {
public:
    CatalogueMessage(CKorvoDoc& doc, bool interactive, const MessageInfo& info);

    QString BuildHeader() override;
    QString ResponseDumpPath() const override;
    QString FunctionCode() const override;
    QString LogPrefix() const override;

    const MessageInfo& info() const { return info_; }
    QString RequestDumpPath() const;

protected:
    // Writes the request dump and returns the document.
    QString DumpRequest(const QString& document) const;

private:
    const MessageInfo& info_;
};

// Ok after a call that returned 0; else refused with the answer's code, or
// failed, each with the text that was shown.
SendResult SendForOk(ServiceMessage& message, const QString& webPath, bool interactive);

// Pieces of the request documents. Texts are escaped as XML text; numbers are
// whole decimal numbers.
namespace RequestPiece {
// <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
QString Declaration();
// "<element" + one or two blanks + "xmlns="http://<host>/webservice/generated/xmlbindings/<ns>">"
QString RootStart(const QString& element, const QString& nameSpace, bool twoBlanks);
QString RootEnd(const QString& element);
// <name xmlns="">value</name>, the value written as given
QString Element(const QString& name, const QString& value);
QString TextElement(const QString& name, const QString& text);
QString Signed(std::int64_t value);
// The 32-bit pattern read as unsigned: -1 is 4294967295.
QString Unsigned(std::int32_t value);
QString MobileDevice(const CKorvoDoc& doc);
// Only when the work state has an employee id.
QString EmployeeId(const CKorvoDoc& doc);
// PNID of the current packing note (0 without one).
QString PackingNoteId(const CKorvoDoc& doc);
// The scan time from the device clock; milliseconds from the tick counter.
QString ScanTimestamp();
} // namespace RequestPiece
