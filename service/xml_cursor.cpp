#include "service/xml_cursor.h"

#include "config/text_helpers.h"

#include <QByteArray>
#include <cstring>
#include <limits>

struct XmlCursor::Loaded {
    QByteArray buffer; // parsed in place: the nodes point into it
    pugi::xml_document document;
};

namespace {

// Comments and processing instructions stay child nodes, as in the
// handheld's DOM; white-space-only text does not.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

bool isCSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The decimal conversion of the text helpers, straight from the UTF-8 bytes
// while they are ASCII (where bytes and characters agree); false when a
// non-ASCII character is reached before the number ends, which the helpers
// then convert from the text. `lowBytes` says whether the helper reduces each
// character to its low byte (which may turn a non-ASCII character into a digit
// or a blank).
bool asciiDecimal(const char* s, size_t limit, bool lowBytes, std::int32_t& out) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    auto at = [&](size_t i) -> unsigned char {
        return i < limit ? static_cast<unsigned char>(s[i]) : 0;
    };
    auto undecided = [&](size_t i) { return lowBytes && at(i) >= 0x80; };
    size_t i = 0;
    while (at(i) != 0 && isCSpace(at(i))) {
        ++i;
    }
    if (undecided(i)) {
        return false;
    }
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') {
        negative = at(i) == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; at(i) >= '0' && at(i) <= '9'; ++i) {
        if (value <= kMax + 1) {
            value = value * 10 + (at(i) - '0');
        }
    }
    if (undecided(i)) {
        return false;
    }
    if (negative) {
        value = -value;
    }
    out = static_cast<std::int32_t>(value > kMax ? kMax : value < kMin ? kMin : value);
    return true;
}

// All text below the element, as the element's typed value; without
// recursion, so no nesting depth can exhaust the stack.
QString elementText(pugi::xml_node element) {
    pugi::xml_node child = element.first_child();
    if (!child) {
        return QString();
    }
    if (!child.next_sibling() &&
        (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)) {
        return QString::fromUtf8(child.value());
    }
    QByteArray text;
    pugi::xml_node node = child;
    while (node && node != element) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            text += node.value();
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != element && !node.next_sibling()) {
            node = node.parent();
        }
        if (node != element) {
            node = node.next_sibling();
        }
    }
    return QString::fromUtf8(text);
}

// A well-formed document has one document element; the parser also accepts
// several.
bool singleRoot(const pugi::xml_document& document) {
    int elements = 0;
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        elements += node.type() == pugi::node_element ? 1 : 0;
    }
    return elements == 1;
}

} // namespace

namespace {

// The document a ReusedDocument guard offers, with the text it came from.
struct Reused {
    QString text; // holds the storage alive, so its address cannot be reused
    XmlCursor root;
};
thread_local const Reused* t_reused = nullptr;

} // namespace

ReusedDocument::ReusedDocument(const QString& text, const XmlCursor& root) : previous_(t_reused) {
    static_assert(sizeof(Reused) > 0);
    auto* reused = new Reused{text, root};
    t_reused = reused;
    self_ = reused;
}

ReusedDocument::~ReusedDocument() {
    delete static_cast<const Reused*>(self_);
    t_reused = static_cast<const Reused*>(previous_);
}

XmlCursor XmlCursor::LoadDocument(const QString& text) {
    if (t_reused != nullptr && t_reused->text.constData() == text.constData() &&
        t_reused->text.size() == text.size()) {
        return t_reused->root;
    }
    auto loaded = std::make_shared<Loaded>();
    loaded->buffer = text.toUtf8();
    const pugi::xml_parse_result result = loaded->document.load_buffer_inplace(
        loaded->buffer.data(), static_cast<size_t>(loaded->buffer.size()), kParseOptions,
        pugi::encoding_utf8);
    XmlCursor root;
    if (!result || !singleRoot(loaded->document)) {
        return root; // the handheld's DOM loads all or nothing
    }
    root.element_ = loaded->document.document_element();
    root.document_ = std::move(loaded);
    return root;
}

QString XmlCursor::tagName() const {
    return element_ ? QString::fromUtf8(element_.name()) : QString();
}

XmlCursor XmlCursor::FirstChild() const {
    XmlCursor child;
    if (!element_) {
        return child;
    }
    child.document_ = document_;
    child.node_ = element_.first_child();
    child.element_ = child.node_.type() == pugi::node_element ? child.node_ : pugi::xml_node();
    child.index_ = 0;
    return child;
}

XmlCursor XmlCursor::NextChild() const {
    XmlCursor next = *this;
    if (index_ == -1) {
        return next;
    }
    next.node_ = node_.next_sibling();
    next.element_ = next.node_.type() == pugi::node_element ? next.node_ : pugi::xml_node();
    ++next.index_;
    return next;
}

XmlCursor XmlCursor::FindChild(const char* name) const {
    XmlCursor found;
    if (!element_) {
        return found;
    }
    int index = 0;
    for (pugi::xml_node node = element_.first_child(); node; node = node.next_sibling(), ++index) {
        if (node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0) {
            found.document_ = document_;
            found.node_ = node;
            found.element_ = node;
            found.index_ = index;
            return found;
        }
    }
    return found;
}

XmlCursor XmlCursor::Descend(const char* name) const {
    XmlCursor child = FindChild(name);
    return child.isValid() ? child : *this;
}

QString XmlCursor::ChildText(const char* name) const {
    const XmlCursor child = FindChild(name);
    return child.element_ ? elementText(child.element_) : QString();
}

QString XmlCursor::AttributeText(const char* name) const {
    const pugi::xml_attribute attribute = element_.attribute(name);
    return attribute ? QString::fromUtf8(attribute.value()) : QString();
}

std::int32_t XmlCursor::AttributeInt(const char* name) const {
    const char* value = element_.attribute(name).value();
    std::int32_t number = 0;
    return asciiDecimal(value, std::strlen(value), false, number)
               ? number
               : WholeTextToInt(QString::fromUtf8(value));
}

std::int32_t XmlCursor::AttributeInt31(const char* name) const {
    const char* value = element_.attribute(name).value();
    std::int32_t number = 0;
    return asciiDecimal(value, 31, true, number) ? number : TextToInt(QString::fromUtf8(value), 31);
}

bool XmlCursor::AttributeBool(const char* name, bool fallback) const {
    const char* value = element_.attribute(name).value();
    if (std::strcmp(value, "true") == 0 || std::strcmp(value, "TRUE") == 0) {
        return true;
    }
    if (std::strcmp(value, "false") == 0 || std::strcmp(value, "FALSE") == 0) {
        return false;
    }
    return fallback;
}

std::int32_t XmlCursor::AttributeIntFormatted(const char* name, std::int32_t fallback) const {
    return ScanIntFormatted(AttributeText(name), fallback);
}
