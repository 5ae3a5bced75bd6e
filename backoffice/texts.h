#pragma once

#include <string>
#include <string_view>

namespace backoffice {

// Texts the back office writes for the worker: the Message of the result
// codes whose translation on the handheld is empty (they carry details), and
// the return messages of a pool scan. One set per plant language; "{1}" and
// "{2}" stand for the details.
enum class Text {
    NoteHeld,           // {1} note number, {2} handheld code
    ContainerElsewhere, // {1} container, {2} note number
    PrintFailed,        // {1} note number
    Accepted,           // {1} product
    AcceptedDetail,     // {1} delivered, {2} to deliver
    AlreadyScanned,     // {1} code
    AlreadyScannedDetail,
    ScannedForOtherNote, // {1} code, {2} note number
    UnknownCode,         // {1} code
    UnknownCodeDetail,
    NotOnThisNote, // {1} product
    ConfirmBundle, // {1} code, {2} items
    ConfirmBundleDetail,
    ConfirmOverDelivery,       // {1} product
    ConfirmOverDeliveryDetail, // {1} delivered, {2} to deliver
};

std::string Say(std::string_view language, Text text, std::string_view first = {},
                std::string_view second = {});

} // namespace backoffice
