#pragma once

#include "platform/xml/XmlDocument.h"

#include <string>
#include <string_view>

struct _xmlTextReader;

// Reads a document from memory element by element without building the whole tree, so that a
// document of any size is read in little memory: the elements already passed are freed as the
// reader moves on. An element can be expanded into a CXmlNode with everything below it (its
// ancestors and their namespaces and xml:base stay reachable) and used as in a CXmlDocument until
// the next step.
//
// Parsing is hardened as CXmlDocument's is (no DTD, nothing external, bounded entity
// expansion, "gb2312" read as GB18030, blank text between elements dropped) and strict: a
// document that is not well formed ends the reading with Failed() set, at the point where the
// fault is found.
class CXmlStreamReader {
public:
    CXmlStreamReader();
    ~CXmlStreamReader();
    CXmlStreamReader(const CXmlStreamReader&) = delete;
    CXmlStreamReader& operator=(const CXmlStreamReader&) = delete;

    // Starts on the text, which must outlive the reading; url is the document's address for
    // relative references ("" for none).
    bool Open(std::string_view text, std::string_view url);
    // The start of the next element in document order; false at the end or at a fault.
    bool NextElement();
    // The depth of the current element: 0 for the root.
    int Depth() const;
    // The current element with its attributes; its children are not read yet.
    CXmlNode Node() const;
    // The current element with everything below it. The next step goes past it.
    CXmlNode Expand();
    // The next step goes past everything below the current element.
    void SkipChildren() { m_skip = true; }

    bool Failed() const { return m_failed; }
    const std::string& GetLastError() const { return m_lastError; }
    // The reading failed because entities expand beyond the parser's bounds (a document built
    // to exhaust memory, such as the "billion laughs"), not because the text is sloppy.
    bool EntitiesRefused() const { return m_entitiesRefused; }

private:
    static void OnError(void* self, void* error);

    _xmlTextReader* m_reader = nullptr;
    bool m_skip = false;
    bool m_failed = false;
    bool m_entitiesRefused = false;
    std::string m_lastError;
};
