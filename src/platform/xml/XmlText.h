#pragma once

#include <string>
#include <string_view>

// Helpers for XML written as text rather than through the DOM (documents whose exact byte
// layout matters: scratch documents for the skins, export files, the editor hand-off).
class CXmlText {
public:
    // Escapes &, <, > and both quotes so the text is safe as element content or attribute value.
    static std::string Escape(std::string_view text);

    // A CDATA section holding the text; "]]>" inside it is split over two sections.
    static std::string CData(std::string_view text);

    // Turns a UTF-8 XML document text into GBK bytes. A character GBK cannot hold becomes a
    // numeric character reference; inside a CDATA section the section is closed before the
    // reference and reopened after it, so nothing is lost and the document stays well formed.
    static std::string Utf8DocumentToGbk(std::string_view utf8Xml);
};
