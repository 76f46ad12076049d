#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>

// A piece of HTML (an item's description) read by libxml2's HTML parser, for code that changes
// its tree and writes it back. The piece goes into a body of its own, so that the parser keeps
// every part of it where it stands, and only the body's children are written back.
class CHtmlFragment {
public:
    // False when the parser could not read the piece at all.
    bool Parse(std::string_view html);
    xmlDocPtr Doc() const { return m_doc.get(); }
    xmlNodePtr Body() const { return m_body; }
    // The body's children as HTML in UTF-8 characters (not character references); false when
    // no output buffer could be had.
    bool Write(std::string& html) const;

private:
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> m_doc{nullptr, &xmlFreeDoc};
    xmlNodePtr m_body = nullptr;
};
