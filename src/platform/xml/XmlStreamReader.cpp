#include "platform/xml/XmlStreamReader.h"

#include "platform/text/ReasonText.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

CXmlStreamReader::CXmlStreamReader() {
    CXmlDocument::InitParser();
}

CXmlStreamReader::~CXmlStreamReader() {
    if (m_reader)
        xmlFreeTextReader(m_reader);
}

void CXmlStreamReader::OnError(void* self, void* raw) {
    auto* reader = static_cast<CXmlStreamReader*>(self);
    auto* error = static_cast<xmlErrorPtr>(raw);
    // Only what makes a document not well formed ends the reading, as it fails a strict load;
    // namespace faults and warnings do not.
    if (!error || error->level != XML_ERR_FATAL)
        return;
    reader->m_failed = true;
    if (error->code == XML_ERR_ENTITY_LOOP)
        reader->m_entitiesRefused = true;
    if (reader->m_lastError.empty() && error->message) {
        std::string message = error->message;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        reader->m_lastError =
            error->line > 0 ? "line " + std::to_string(error->line) + ": " + message : message;
    }
}

bool CXmlStreamReader::Open(std::string_view text, std::string_view url) {
    if (m_reader)
        xmlFreeTextReader(m_reader);
    m_skip = false;
    m_failed = false;
    m_entitiesRefused = false;
    m_lastError.clear();
    const std::string encoding = CXmlDocument::ParserEncoding(CXmlDocument::DeclaredEncoding(text));
    const std::string address(url);
    int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOBLANKS;
    // The reader would switch to the declared name when it meets the declaration; the wider
    // encoding given here must stay.
    if (!encoding.empty())
        options |= XML_PARSE_IGNORE_ENC;
    m_reader = xmlReaderForMemory(text.data(), static_cast<int>(text.size()),
                                  address.empty() ? nullptr : address.c_str(),
                                  encoding.empty() ? nullptr : encoding.c_str(), options);
    if (!m_reader) {
        m_failed = true;
        m_lastError = CReasonText::Text(Reason::kXmlReaderUnavailable);
        return false;
    }
    xmlTextReaderSetStructuredErrorHandler(
        m_reader, [](void* self, xmlErrorPtr error) { OnError(self, error); }, this);
    return true;
}

bool CXmlStreamReader::NextElement() {
    if (!m_reader || m_failed)
        return false;
    int step = m_skip ? xmlTextReaderNext(m_reader) : xmlTextReaderRead(m_reader);
    m_skip = false;
    while (step == 1 && !m_failed) {
        if (xmlTextReaderNodeType(m_reader) == XML_READER_TYPE_ELEMENT)
            return true;
        step = xmlTextReaderRead(m_reader);
    }
    if (step < 0 && !m_failed) {
        m_failed = true;
        m_lastError = CReasonText::Text(Reason::kXmlNotWellFormed);
    }
    return false;
}

int CXmlStreamReader::Depth() const {
    return m_reader ? xmlTextReaderDepth(m_reader) : -1;
}

CXmlNode CXmlStreamReader::Node() const {
    return m_reader ? CXmlNode(xmlTextReaderCurrentNode(m_reader)) : CXmlNode();
}

CXmlNode CXmlStreamReader::Expand() {
    if (!m_reader)
        return {};
    xmlNodePtr node = xmlTextReaderExpand(m_reader);
    m_skip = true;
    if (!node && !m_failed) {
        m_failed = true;
        m_lastError = CReasonText::Text(Reason::kXmlNotWellFormed);
    }
    return CXmlNode(node);
}
