#include "reader/RssChannelFile.h"

#include "platform/text/ReasonText.h"

CRssChannelFile::CRssChannelFile(std::string path) : m_path(std::move(path)) {}

StoreResult CRssChannelFile::Open() {
    if (!m_doc.LoadFile(m_path))
        return {.reason = m_doc.GetLastError()};
    if (Body().IsNull())
        return {.reason = m_path + ": no /opml/body"};
    return {.ok = true};
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

StoreResult CRssChannelFile::Changed() {
    if (!m_batch && !m_doc.SaveFile(m_path))
        return {.reason = m_doc.GetLastError()};
    return {.ok = true};
}

StoreResult CRssChannelFile::EndBatch() {
    m_batch = false;
    return Changed();
}

StoreResult CRssChannelFile::AddOutline(const OutlinePath& parent, const std::string& title,
                                        const std::string& xmlUrl, const std::string& htmlUrl) {
    CXmlNode parentNode = Outline(parent);
    if (!parentNode)
        return {.reason = CReasonText::Text(Reason::kNoOutlineAt, {PathText(parent)})};
    CXmlNode outline = parentNode.AppendChild("outline");
    outline.SetAttribute("title", title);
    outline.SetAttribute("xmlUrl", xmlUrl);
    outline.SetAttribute("htmlUrl", htmlUrl);
    return Changed();
}

StoreResult CRssChannelFile::SetAttribute(const OutlinePath& path, const std::string& name,
                                          const std::string& value) {
    CXmlNode node = Outline(path);
    if (!node || path.empty())
        return {.reason = CReasonText::Text(Reason::kNoOutlineAt, {PathText(path)})};
    node.SetAttribute(name, value);
    return Changed();
}

StoreResult CRssChannelFile::DeleteOutline(const OutlinePath& path) {
    CXmlNode node = Outline(path);
    if (!node || path.empty())
        return {.reason = CReasonText::Text(Reason::kNoOutlineAt, {PathText(path)})};
    node.Remove();
    return Changed();
}

StoreResult CRssChannelFile::MoveOutline(const OutlinePath& from, const OutlinePath& target,
                                         int mode) {
    CXmlNode node = Outline(from);
    CXmlNode targetNode = Outline(target);
    if (!node || from.empty() || !targetNode || (mode == 1 && target.empty()))
        return {.reason = CReasonText::Text(Reason::kNoOutlineToMove)};
    for (CXmlNode up = targetNode; up; up = up.Parent()) {
        if (up == node)
            return {.reason = CReasonText::Text(Reason::kOutlineBelowItself)};
    }
    if (mode == 1)
        targetNode.Parent().InsertNodeBefore(node, targetNode);
    else
        targetNode.AppendNode(node);
    return Changed();
}

StoreResult CRssChannelFile::SaveExpanded(const OutlinePath& path, bool expanded) {
    return SetAttribute(path, "expanded", expanded ? "1" : "0");
}

StoreResult CRssChannelFile::SaveUnreadCount(const OutlinePath& path, int count) {
    return SetAttribute(path, "unreadnum", std::to_string(count));
}
