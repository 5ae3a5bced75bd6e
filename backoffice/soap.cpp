#include "backoffice/soap.h"

#include "backoffice/xml_text.h"

#include <cstring>

namespace backoffice {

namespace {

std::string_view localName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node childByLocalName(const pugi::xml_node& parent, std::string_view name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && localName(child) == name) {
            return child;
        }
    }
    return {};
}

std::string textOf(const pugi::xml_node& element) {
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text += child.value();
        }
    }
    return text;
}

bool loadInner(pugi::xml_document& document, const std::string& text) {
    const pugi::xml_parse_result result =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    return result && document.document_element();
}

} // namespace

SoapParse ParseEnvelope(std::string_view body) {
    SoapParse parse;
    pugi::xml_document envelope;
    const pugi::xml_parse_result result =
        envelope.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        parse.error = std::string("the body is not well-formed XML: ") + result.description();
        return parse;
    }
    const pugi::xml_node root = envelope.document_element();
    if (localName(root) != "Envelope") {
        parse.error = "the body is no SOAP envelope";
        return parse;
    }
    const pugi::xml_node operation =
        childByLocalName(childByLocalName(root, "Body"), "processRequest");
    if (!operation) {
        parse.error = "the envelope carries no processRequest";
        return parse;
    }
    const pugi::xml_node headerText = childByLocalName(operation, "String_1");
    const pugi::xml_node requestText = childByLocalName(operation, "String_2");
    if (!headerText || !requestText) {
        parse.error = "processRequest needs String_1 and String_2";
        return parse;
    }
    pugi::xml_document header;
    if (!loadInner(header, textOf(headerText))) {
        parse.error = "String_1 is no XML document";
        return parse;
    }
    parse.call.request = std::make_unique<pugi::xml_document>();
    if (!loadInner(*parse.call.request, textOf(requestText))) {
        parse.error = "String_2 is no XML document";
        return parse;
    }
    const pugi::xml_node function = childByLocalName(header.document_element(), "function");
    parse.call.functionCode = textOf(function);
    if (parse.call.functionCode.empty()) {
        parse.error = "the service header names no function";
        return parse;
    }
    parse.ok = true;
    return parse;
}

std::string BindingNamespace(std::string_view name) {
    std::string out = "http://";
    out += kNamespaceHost;
    out += "/webservice/generated/xmlbindings/";
    out += name;
    return out;
}

std::string AnswerEnvelope(std::string_view document) {
    std::string out;
    out.reserve(document.size() + document.size() / 3 + 400);
    out += R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/">)"
           R"(<env:Header/><env:Body><ns0:processRequestResponse xmlns:ns0="urn:QVR">)"
           "<returnValue>";
    AppendEscapedText(out, document);
    out += "</returnValue></ns0:processRequestResponse></env:Body></env:Envelope>";
    return out;
}

std::string FaultEnvelope(bool client, std::string_view reason) {
    std::string out = R"(<?xml version="1.0" encoding="UTF-8"?>)"
                      R"(<env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/">)"
                      "<env:Body><env:Fault><faultcode>";
    out += client ? "env:Client" : "env:Server";
    out += "</faultcode><faultstring>";
    AppendEscapedText(out, reason);
    out += "</faultstring></env:Fault></env:Body></env:Envelope>";
    return out;
}

std::string ServiceDescription(std::string_view location) {
    std::string address;
    AppendValue(address, location);
    // The value writer protects ':' for the handheld; a WSDL reader wants it
    // plain, and a location holds no quote or angle bracket that needs more.
    std::string plain;
    for (size_t i = 0; i < address.size(); ++i) {
        if (address.compare(i, 5, "&#58;") == 0) {
            plain += ':';
            i += 4;
        } else {
            plain += address[i];
        }
    }
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions name="QVRGenericWebService" targetNamespace="urn:QVR" xmlns:tns="urn:QVR"
    xmlns="http://schemas.xmlsoap.org/wsdl/" xmlns:xsd="http://www.w3.org/2001/XMLSchema"
    xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/">
  <message name="QVRGenericWebService_processRequest">
    <part name="String_1" type="xsd:string"/>
    <part name="String_2" type="xsd:string"/>
  </message>
  <message name="QVRGenericWebService_processRequestResponse">
    <part name="returnValue" type="xsd:string"/>
  </message>
  <portType name="QVRGenericWebService">
    <operation name="processRequest" parameterOrder="String_1 String_2">
      <input message="tns:QVRGenericWebService_processRequest"/>
      <output message="tns:QVRGenericWebService_processRequestResponse"/>
    </operation>
  </portType>
  <binding name="QVRGenericWebServiceBinding" type="tns:QVRGenericWebService">
    <soap:binding transport="http://schemas.xmlsoap.org/soap/http" style="rpc"/>
    <operation name="processRequest">
      <soap:operation soapAction="processRequest"/>
      <input><soap:body use="encoded" namespace="urn:QVR"
          encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"/></input>
      <output><soap:body use="encoded" namespace="urn:QVR"
          encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"/></output>
    </operation>
  </binding>
  <service name="QVRGenericWebService">
    <port name="QVRGenericWebServicePort" binding="tns:QVRGenericWebServiceBinding">
      <soap:address location=")" +
           plain + R"("/>
    </port>
  </service>
</definitions>
)";
}

} // namespace backoffice
