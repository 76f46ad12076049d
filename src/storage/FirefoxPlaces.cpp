#include "storage/FirefoxPlaces.h"

#include "storage/CppSQLite3Exception.h"
#include "storage/SqlDatabase.h"

bool CFirefoxPlaces::ReadBookmarks(const std::string& path, std::vector<PlacesBookmarkRow>& rows,
                                   std::string& error) {
    rows.clear();
    try {
        CSqlDatabase db;
        db.OpenReadOnly(path);
        CSqlQuery query =
            db.ExecuteQuery("SELECT b.id, b.parent, b.type, b.position, b.title, b.guid, p.url "
                            "FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk "
                            "ORDER BY b.parent, b.position, b.id");
        for (; !query.IsEnd(); query.Next()) {
            rows.push_back({.id = query.GetInt64(0),
                            .parent = query.GetInt64(1),
                            .type = query.GetInt(2),
                            .position = query.GetInt(3),
                            .title = query.GetText(4),
                            .guid = query.GetText(5),
                            .url = query.GetText(6)});
        }
    } catch (const CppSQLite3Exception& e) {
        rows.clear();
        error = path + ": " + e.Message();
        return false;
    }
    return true;
}
