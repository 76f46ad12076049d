#include "storage/LocalStores.h"

#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedDatabase.h"

namespace {

int OpenAndClose(CLocalDatabase& store, std::string& error) {
    const StoreResult opened = store.OpenStore();
    if (opened) {
        store.CloseStore();
        return 1;
    }
    error = opened.reason; // names the file
    return 0;
}

} // namespace

int CLocalStores::CreateStores(const CAppContext& context, std::string& error) {
    const std::string folder = context.FilePath("Storage");
    if (!CFileUtil::CreateDirectories(folder)) {
        error = folder + ": " + CFileUtil::LastErrorText();
        return 0;
    }
    CArticleDatabase articles(context);
    CFeedDatabase feeds(context);
    return OpenAndClose(articles, error) && OpenAndClose(feeds, error) ? 1 : 0;
}
