#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace backoffice {

// The namespace host of the handheld's header and request documents; the
// answer documents use the same form.
inline constexpr std::string_view kNamespaceHost = "korvane.local";

// The escaped declaration the handheld skips by its length (61 characters).
inline constexpr std::string_view kInnerDeclaration =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";

// One processRequest call, taken apart: the function code of the service
// header and the request document.
struct SoapCall {
    std::string functionCode;
    std::unique_ptr<pugi::xml_document> request;
    pugi::xml_node requestRoot() const { return request->document_element(); }
};

struct SoapParse {
    bool ok = false;
    std::string error; // why the body is no processRequest envelope
    SoapCall call;
};

// Parses a SOAP 1.1 envelope (any prefixes; the encoding its declaration
// names) and the two documents inside it.
SoapParse ParseEnvelope(std::string_view body);

// "http://korvane.local/webservice/generated/xmlbindings/<name>"
std::string BindingNamespace(std::string_view name);

// The SOAP answer around an answer document (which starts with
// kInnerDeclaration): escaped once into an unprefixed returnValue.
std::string AnswerEnvelope(std::string_view document);
// A SOAP 1.1 fault; `client` says whether the request was at fault.
std::string FaultEnvelope(bool client, std::string_view reason);
// The WSDL 1.1 description of the service at `location`.
std::string ServiceDescription(std::string_view location);

} // namespace backoffice
