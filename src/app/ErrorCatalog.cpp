#include "app/ErrorCatalog.h"

#include "app/AppPaths.h"
#include "platform/xml/XmlDocument.h"

#include <cstdlib>

bool CErrorCatalog::Lookup(int id, ErrorEntry& entry) {
    entry = ErrorEntry{};
    CXmlDocument doc;
    if (!doc.LoadFile(GetAppFilePath("ErrorMsg.xml")))
        return false;
    // The id is an attribute of msg; an id child element is accepted as well.
    const std::string n = std::to_string(id);
    CXmlNode msg = doc.SelectNode("/error/msg[@id=\"" + n + "\" or id=\"" + n + "\"]");
    CXmlNode pos = msg.Child("pos");
    if (!pos)
        return false;
    entry.summary = msg.Child("summary").GetText();
    entry.description = msg.Child("description").GetText();
    // A place that is not a number reads as 0, as a plain decimal conversion gives it.
    entry.place = std::atoi(pos.GetText().c_str());
    return true;
}
