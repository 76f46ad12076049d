#include "platform/xml/HtmlFragment.h"

#include "platform/xml/XmlDocument.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/xmlIO.h>

bool CHtmlFragment::Parse(std::string_view html) {
    CXmlDocument::InitParser();
    std::string page = "<html><head><meta charset=\"utf-8\"></head><body>";
    page.append(html);
    page.append("</body></html>");
    m_doc.reset(htmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, "UTF-8",
                               HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
    m_body = nullptr;
    if (!m_doc)
        return false;
    for (xmlNodePtr top = xmlDocGetRootElement(m_doc.get()); top && !m_body; top = top->next) {
        for (xmlNodePtr child = top->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE &&
                xmlStrcasecmp(child->name, reinterpret_cast<const xmlChar*>("body")) == 0) {
                m_body = child;
                break;
            }
        }
    }
    return m_body != nullptr;
}

bool CHtmlFragment::Write(std::string& html) const {
    std::unique_ptr<xmlOutputBuffer, decltype(&xmlOutputBufferClose)> out(
        xmlAllocOutputBuffer(nullptr), &xmlOutputBufferClose);
    if (!out || !m_body)
        return false;
    for (xmlNodePtr child = m_body->children; child; child = child->next)
        htmlNodeDumpFormatOutput(out.get(), m_doc.get(), child, "UTF-8", 0);
    xmlOutputBufferFlush(out.get());
    html.assign(reinterpret_cast<const char*>(xmlOutputBufferGetContent(out.get())),
                xmlOutputBufferGetSize(out.get()));
    return true;
}
