#pragma once

#include <string>

class CXmlDocument;
struct _xsltStylesheet;

// An XSL style sheet (a skin) applied in our code. The result always comes out as UTF-8 text,
// whatever encoding the style sheet asks for, so the reading pane can show it as it is. Style
// sheets may not write files, open the network or pull in anything outside themselves.
class CXslTransform {
public:
    CXslTransform() = default;
    ~CXslTransform();
    CXslTransform(const CXslTransform&) = delete;
    CXslTransform& operator=(const CXslTransform&) = delete;

    bool LoadFile(const std::string& path);
    bool LoadText(const std::string& text);
    bool Apply(const CXmlDocument& input, std::string& output);
    const std::string& GetLastError() const { return m_lastError; }

private:
    bool Adopt(CXmlDocument& doc);

    _xsltStylesheet* m_style = nullptr;
    std::string m_lastError;
};
