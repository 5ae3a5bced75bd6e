#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <pugixml.hpp>

// The reading position through which every parser walks an answer document.
//
// A cursor is a small value, copied freely; it keeps its document alive. A
// lookup that finds nothing gives an invalid cursor, and every read from an
// invalid cursor gives an empty text, 0 or the default, so a chain of reads
// needs no checks in between. Comments and processing instructions are child
// nodes like elements; white-space-only text between elements is not kept.
class ChildRange;

class XmlCursor {
public:
    // Invalid: reads as empty.
    XmlCursor() = default;

    // A root cursor on the document element (index -1). A text that is not a
    // well-formed document gives a root without element: nothing is found in
    // it.
    static XmlCursor LoadDocument(const QString& text);

    // Valid unless the index is -1 (a root cursor, or a failed lookup).
    bool isValid() const { return index_ != -1; }
    int index() const { return index_; }
    // A child walk stands on a node (an element or not) until it passes the
    // last one.
    bool atNode() const { return static_cast<bool>(node_); }
    // The node under the cursor is an element (always, for a root cursor of a
    // loaded document).
    bool isElement() const { return static_cast<bool>(element_); }
    QString tagName() const;

    // The first child node of the current element (index 0), whatever its kind.
    XmlCursor FirstChild() const;
    // The next child node.
    XmlCursor NextChild() const;
    // The first child element with exactly this tag name; invalid when none.
    XmlCursor FindChild(const char* name) const;
    // The named child element when there is one, else this cursor: how every
    // parser enters its response element, so records placed directly under
    // the document element are found too.
    XmlCursor Descend(const char* name) const;

    // The text of the named child element (all its text, as the element's
    // typed value); empty when there is no such child.
    QString ChildText(const char* name) const;
    // The attribute of the current element; empty when it has none.
    QString AttributeText(const char* name) const;
    // The attribute as a decimal number ("int"): the whole text; 0 without
    // digits.
    std::int32_t AttributeInt(const char* name) const;
    // The same of at most the first 31 characters ("int31").
    std::int32_t AttributeInt31(const char* name) const;
    // "true"/"TRUE" and "false"/"FALSE"; `fallback` for anything else.
    bool AttributeBool(const char* name, bool fallback) const;
    // Read like the C scan format "%i" (decimal, 0x hexadecimal, 0 octal);
    // `fallback` without a number.
    std::int32_t AttributeIntFormatted(const char* name, std::int32_t fallback) const;

    // The child nodes of the current element in document order: the records of
    // a list. A node that is not an element reads as a record of empty values.
    ChildRange Children() const;

private:
    struct Loaded;
    std::shared_ptr<const Loaded> document_;
    pugi::xml_node element_; // the element read: the current one, or the document element
    pugi::xml_node node_;    // the child node at the index, of whatever kind
    int index_ = -1;
};

// While it lives, XmlCursor::LoadDocument of this very text (the same string
// or a copy sharing its storage, not an equal text) gives `root` without
// parsing again: the evaluation checks that an answer parses before the
// message's parser reads it, and the parse is done once.
class ReusedDocument {
public:
    ReusedDocument(const QString& text, const XmlCursor& root);
    ~ReusedDocument();
    ReusedDocument(const ReusedDocument&) = delete;
    ReusedDocument& operator=(const ReusedDocument&) = delete;

private:
    const void* self_;
    const void* previous_;
};

// Walks the child nodes of an element: for (const XmlCursor& c : list.Children()).
class XmlChildIterator {
public:
    struct End {};
    explicit XmlChildIterator(XmlCursor cursor) : cursor_(std::move(cursor)) {}
    const XmlCursor& operator*() const { return cursor_; }
    XmlChildIterator& operator++() {
        cursor_ = cursor_.NextChild();
        return *this;
    }
    bool operator!=(End) const { return cursor_.atNode(); }

private:
    XmlCursor cursor_;
};

class ChildRange {
public:
    explicit ChildRange(XmlCursor first) : first_(std::move(first)) {}
    XmlChildIterator begin() const { return XmlChildIterator(first_); }
    XmlChildIterator::End end() const { return {}; }

private:
    XmlCursor first_;
};

inline ChildRange XmlCursor::Children() const {
    return ChildRange(FirstChild());
}
