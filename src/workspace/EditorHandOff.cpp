#include "workspace/EditorHandOff.h"

#include "platform/fs/FileUtil.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"

#include <charconv>
#include <filesystem>

namespace {

// The element with its value escaped. Line breaks and tabs become character references, so
// the file stays one line and they come back as they were; the other control characters cannot
// be in an XML document at all and are left out.
void AppendElement(std::string& text, const char* name, std::string_view value) {
    text += '<';
    text += name;
    text += '>';
    for (const char c : CXmlText::Escape(value)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\t' || byte == '\n' || byte == '\r')
            text += "&#" + std::to_string(byte) + ";";
        else if (byte >= 0x20)
            text += c;
    }
    text += "</";
    text += name;
    text += '>';
}

// A whole decimal number in the element's text (blanks around it are allowed); nothing for
// anything else, a sign or a number too large for the type included.
template <typename Number> std::optional<Number> ParseDecimal(const std::string& text) {
    const std::string trimmed(Trim(text));
    if (trimmed.empty())
        return std::nullopt;
    Number value = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(trimmed.data(), end, value);
    if (error != std::errc() || stop != end || value < 0)
        return std::nullopt;
    return value;
}

// Reads a required number of the root; the reason names the element.
template <typename Number>
std::optional<Number> RequiredNumber(const CXmlNode& parent, const char* name,
                                     std::string& reason) {
    const CXmlNode node = parent.Child(name);
    if (!node) {
        reason = std::string("编辑器任务文件缺少 ") + name;
        return std::nullopt;
    }
    const std::string text = node.GetText();
    std::optional<Number> value = ParseDecimal<Number>(text);
    if (!value)
        reason = std::string("编辑器任务文件的 ") + name + " 不是有效的数字: " + text;
    return value;
}

// The orders of a hand-off text, or nothing with the reason.
std::optional<EditorHandOff> ReadOrders(const std::string& text, std::string& why) {
    CXmlDocument document;
    if (!document.LoadText(text)) {
        why = "编辑器任务文件不是有效的 XML: " + document.GetLastError();
        return std::nullopt;
    }
    const CXmlNode root = document.Root();
    if (!root.HasName("root")) {
        why = "编辑器任务文件的根元素不是 root";
        return std::nullopt;
    }
    const std::optional<int> type = RequiredNumber<int>(root, "processtype", why);
    if (!type)
        return std::nullopt;
    if (*type > static_cast<int>(EditorTask::WriteFromSearchResult)) {
        why = "编辑器任务文件的 processtype 无效: " + std::to_string(*type);
        return std::nullopt;
    }
    EditorHandOff orders;
    orders.task = static_cast<EditorTask>(*type);
    orders.account = root.Child("account").GetText();
    // A new article has no index; one written anyway is not read.
    if (orders.task != EditorTask::Compose) {
        orders.index = RequiredNumber<long long>(root, "index", why);
        if (!orders.index)
            return std::nullopt;
    }
    const std::optional<int> publish = RequiredNumber<int>(root, "publishfoldertreeid", why);
    const std::optional<int> draft =
        publish ? RequiredNumber<int>(root, "draftfoldertreeid", why) : std::nullopt;
    if (!draft)
        return std::nullopt;
    orders.publishFolderTreeId = *publish;
    orders.draftFolderTreeId = *draft;
    for (CXmlNode account = root.Child("accounts").FirstChild(); account;
         account = account.NextSibling()) {
        if (!account.HasName("account"))
            continue;
        const std::optional<int> treeId = RequiredNumber<int>(account, "treeid", why);
        if (!treeId)
            return std::nullopt;
        orders.accounts.push_back({.name = account.Child("name").GetText(), .treeId = *treeId});
    }
    return orders;
}

} // namespace

std::string CEditorHandOff::Format(const EditorHandOff& handOff) {
    std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?><root>";
    AppendElement(text, "processtype", std::to_string(static_cast<int>(handOff.task)));
    AppendElement(text, "account", handOff.account);
    if (handOff.task != EditorTask::Compose && handOff.index)
        AppendElement(text, "index", std::to_string(*handOff.index));
    AppendElement(text, "publishfoldertreeid", std::to_string(handOff.publishFolderTreeId));
    AppendElement(text, "draftfoldertreeid", std::to_string(handOff.draftFolderTreeId));
    text += "<accounts>";
    for (const HandOffAccount& account : handOff.accounts) {
        text += "<account>";
        AppendElement(text, "name", account.name);
        AppendElement(text, "treeid", std::to_string(account.treeId));
        text += "</account>";
    }
    text += "</accounts></root>";
    return CTextCodec::Utf8ToGbk(text, true);
}

HandOffResult CEditorHandOff::WriteHandOff(const std::string& path, const EditorHandOff& handOff) {
    if (handOff.task != EditorTask::Compose && !handOff.index)
        return {.ok = false, .reason = "编辑器任务缺少文章编号"};
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!folder.empty() && !CFileUtil::CreateDirectories(folder))
        return {.ok = false,
                .reason = "无法创建文件夹 " + folder + ": " + CFileUtil::LastErrorText()};
    if (!CFileUtil::WriteFileAtomic(path, Format(handOff)))
        return {.ok = false, .reason = "无法写入 " + path + ": " + CFileUtil::LastErrorText()};
    return {.ok = true, .reason = {}};
}

std::optional<EditorHandOff> CEditorHandOff::Parse(const std::string& text, std::string* reason) {
    std::string why;
    std::optional<EditorHandOff> handOff = ReadOrders(text, why);
    if (reason)
        *reason = handOff ? std::string() : why;
    return handOff;
}

std::optional<EditorHandOff> CEditorHandOff::ReadHandOff(const std::string& path,
                                                         std::string* reason) {
    std::string text;
    if (!CFileUtil::ReadFile(path, text)) {
        if (reason)
            *reason = "无法读取 " + path + ": " + CFileUtil::LastErrorText();
        return std::nullopt;
    }
    return Parse(text, reason);
}
