#include "reader/RssChannelFile.h"

#include "platform/text/ReasonText.h"

CRssChannelFile::CRssChannelFile(std::string path) : m_path(std::move(path)) {}

bool CRssChannelFile::Open() {
    if (!m_doc.LoadFile(m_path)) {
        m_lastError = m_doc.GetLastError();
        return false;
    }
    if (Body().IsNull()) {
        m_lastError = m_path + ": no /opml/body";
        return false;
    }
    return true;
}

std::string CRssChannelFile::PathText(const OutlinePath& path) {
    std::string text = "/opml/body";
    for (int position : path)
        text += "/outline[" + std::to_string(position) + "]";
    return text;
}

CXmlNode CRssChannelFile::Body() const {
    return m_doc.SelectNode("/opml/body");
}

CXmlNode CRssChannelFile::Outline(const OutlinePath& path) const {
    // Walk the children rather than evaluating a path per level: positions are counted among
    // outline elements only.
    CXmlNode node = Body();
    for (int position : path) {
        if (position < 0)
            return {};
        CXmlNode child = node.Child("outline");
        for (int i = 0; child && i < position; ++i) {
            do
                child = child.NextSibling();
            while (child && child.GetName() != "outline");
        }
        if (!child)
            return {};
        node = child;
    }
    return node;
}

bool CRssChannelFile::Changed() {
    if (m_batch)
        return true;
    if (!m_doc.SaveFile(m_path)) {
        m_lastError = m_doc.GetLastError();
        return false;
    }
    return true;
}

bool CRssChannelFile::EndBatch() {
    m_batch = false;
    return Changed();
}

bool CRssChannelFile::AddOutline(const OutlinePath& parent, const std::string& title,
                                 const std::string& xmlUrl, const std::string& htmlUrl) {
    CXmlNode parentNode = Outline(parent);
    if (!parentNode) {
        m_lastError = CReasonText::Text(Reason::kNoOutlineAt, {PathText(parent)});
        return false;
    }
    CXmlNode outline = parentNode.AppendChild("outline");
    outline.SetAttribute("title", title);
    outline.SetAttribute("xmlUrl", xmlUrl);
    outline.SetAttribute("htmlUrl", htmlUrl);
    return Changed();
}

bool CRssChannelFile::SetAttribute(const OutlinePath& path, const std::string& name,
                                   const std::string& value) {
    CXmlNode node = Outline(path);
    if (!node || path.empty()) {
        m_lastError = CReasonText::Text(Reason::kNoOutlineAt, {PathText(path)});
        return false;
    }
    node.SetAttribute(name, value);
    return Changed();
}

bool CRssChannelFile::DeleteOutline(const OutlinePath& path) {
    CXmlNode node = Outline(path);
    if (!node || path.empty()) {
        m_lastError = CReasonText::Text(Reason::kNoOutlineAt, {PathText(path)});
        return false;
    }
    node.Remove();
    return Changed();
}

bool CRssChannelFile::MoveOutline(const OutlinePath& from, const OutlinePath& target, int mode) {
    CXmlNode node = Outline(from);
    CXmlNode targetNode = Outline(target);
    if (!node || from.empty() || !targetNode || (mode == 1 && target.empty())) {
        m_lastError = CReasonText::Text(Reason::kNoOutlineToMove);
        return false;
    }
    for (CXmlNode up = targetNode; up; up = up.Parent()) {
        if (up == node) {
            m_lastError = CReasonText::Text(Reason::kOutlineBelowItself);
            return false;
        }
    }
    if (mode == 1)
        targetNode.Parent().InsertNodeBefore(node, targetNode);
    else
        targetNode.AppendNode(node);
    return Changed();
}

bool CRssChannelFile::SaveExpanded(const OutlinePath& path, bool expanded) {
    return SetAttribute(path, "expanded", expanded ? "1" : "0");
}

bool CRssChannelFile::SaveUnreadCount(const OutlinePath& path, int count) {
    return SetAttribute(path, "unreadnum", std::to_string(count));
}
