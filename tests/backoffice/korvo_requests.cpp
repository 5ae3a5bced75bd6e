#include "korvo_requests.h"

std::string EscapeLikeKorvo(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string KorvoEnvelope(const std::string& function, const std::string& request) {
    const std::string header =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><QVRServiceHeader  xmlns="http://korvane.local/webservice/generated/xmlbindings/QVRServiceHeader">    <messageID xmlns="">ID012</messageID>    <transactionType xmlns="">Update</transactionType>    <function xmlns="">)" +
        function +
        R"(</function>    <application xmlns="">QVR Korvane</application>    <customer xmlns="">Fenwold</customer>    <webuser xmlns="">WEBUSER</webuser></QVRServiceHeader>)";
    return R"(<?xml version="1.0" encoding="ISO-8859-1" ?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema" soap:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/" xmlns:soap-enc="http://schemas.xmlsoap.org/soap/encoding/"><soap:Body><ns0:processRequest xmlns:ns0="urn:QVR"><String_1>)" +
           EscapeLikeKorvo(header) + "</String_1><String_2>" + EscapeLikeKorvo(request) +
           "</String_2></ns0:processRequest></soap:Body></soap:Envelope>";
}

std::string RequestDocument(const std::string& root,
                            const std::vector<std::pair<std::string, std::string>>& children,
                            const std::string& extra) {
    std::string out = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><)" + root +
                      R"( xmlns="http://korvane.local/webservice/generated/xmlbindings/)" + root +
                      R"(">)";
    for (const auto& [name, value] : children) {
        out += "<" + name + R"( xmlns="">)" + EscapeLikeKorvo(value) + "</" + name + ">";
    }
    return out + extra + "</" + root + ">";
}
