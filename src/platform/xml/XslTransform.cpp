#include "platform/xml/XslTransform.h"

#include "platform/text/ReasonText.h"

#include "platform/xml/XmlDocument.h"

#include <cstdarg>
#include <cstdio>
#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

namespace {

xsltSecurityPrefsPtr SecurityPrefs() {
    static xsltSecurityPrefsPtr prefs = [] {
        xsltSecurityPrefsPtr p = xsltNewSecurityPrefs();
        xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_FILE, xsltSecurityForbid);
        return p;
    }();
    return prefs;
}

// libxslt reports through the generic error channel; keep its first message.
thread_local std::string* t_errors = nullptr;

void CollectError(void*, const char* format, ...) {
    if (!t_errors || !t_errors->empty())
        return;
    va_list args;
    va_start(args, format);
    char buffer[512];
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    *t_errors = buffer;
    while (!t_errors->empty() && (t_errors->back() == '\n' || t_errors->back() == ' '))
        t_errors->pop_back();
}

class CErrorScope {
public:
    explicit CErrorScope(std::string& target) {
        target.clear();
        t_errors = &target;
        xsltSetGenericErrorFunc(nullptr, CollectError);
        xmlSetGenericErrorFunc(nullptr, CollectError);
    }
    ~CErrorScope() {
        t_errors = nullptr;
        xsltSetGenericErrorFunc(nullptr, CollectError);
        xmlSetGenericErrorFunc(nullptr, CollectError);
    }
};

} // namespace

CXslTransform::~CXslTransform() {
    if (m_style)
        xsltFreeStylesheet(m_style);
}

bool CXslTransform::Adopt(CXmlDocument& doc) {
    if (m_style) {
        xsltFreeStylesheet(m_style);
        m_style = nullptr;
    }
    CErrorScope scope(m_lastError);
    xmlDocPtr raw = doc.Release();
    m_style = xsltParseStylesheetDoc(raw);
    if (!m_style) {
        xmlFreeDoc(raw);
        if (m_lastError.empty())
            m_lastError = CReasonText::Text(Reason::kNotXslStyleSheet);
        return false;
    }
    // The result is handed on as UTF-8.
    if (m_style->encoding)
        xmlFree(m_style->encoding);
    m_style->encoding = xmlStrdup(BAD_CAST "UTF-8");
    return true;
}

bool CXslTransform::LoadFile(const std::string& path) {
    CXmlDocument doc;
    if (!doc.LoadFile(path, CXmlDocument::kKeepBlanks)) {
        m_lastError = doc.GetLastError();
        return false;
    }
    return Adopt(doc);
}

bool CXslTransform::LoadText(const std::string& text) {
    CXmlDocument doc;
    if (!doc.LoadText(text, CXmlDocument::kKeepBlanks)) {
        m_lastError = doc.GetLastError();
        return false;
    }
    return Adopt(doc);
}

bool CXslTransform::Apply(const CXmlDocument& input, std::string& output) {
    output.clear();
    if (!m_style || !input.IsLoaded()) {
        m_lastError = CReasonText::Text(Reason::kNothingToTransform);
        return false;
    }
    CErrorScope scope(m_lastError);
    xsltTransformContextPtr ctxt = xsltNewTransformContext(m_style, input.Handle());
    if (!ctxt)
        return false;
    xsltSetCtxtSecurityPrefs(SecurityPrefs(), ctxt);
    xmlDocPtr result =
        xsltApplyStylesheetUser(m_style, input.Handle(), nullptr, nullptr, nullptr, ctxt);
    bool failed = ctxt->state != XSLT_STATE_OK;
    xsltFreeTransformContext(ctxt);
    if (!result || failed) {
        if (result)
            xmlFreeDoc(result);
        if (m_lastError.empty())
            m_lastError = CReasonText::Text(Reason::kStyleSheetFailed);
        return false;
    }
    xmlChar* text = nullptr;
    int length = 0;
    xsltSaveResultToString(&text, &length, result, m_style);
    if (text) {
        output.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
        xmlFree(text);
    }
    xmlFreeDoc(result);
    return true;
}
