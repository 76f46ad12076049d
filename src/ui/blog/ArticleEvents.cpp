#include "ui/blog/ArticleEvents.h"

// The copies travel with the queued call; a call still queued when this object goes is dropped.
void CArticleEvents::OnProgress(const OperationProgress& progress) {
    QMetaObject::invokeMethod(
        this, [this, progress] { emit Progress(progress); }, Qt::QueuedConnection);
}

void CArticleEvents::OnFolderChanged(int operationId, const FolderRef& folder) {
    QMetaObject::invokeMethod(
        this, [this, operationId, folder] { emit FolderChanged(operationId, folder); },
        Qt::QueuedConnection);
}

void CArticleEvents::OnAccountPublished(int operationId, const AccountPublishResult& result) {
    QMetaObject::invokeMethod(
        this, [this, operationId, result] { emit AccountPublished(operationId, result); },
        Qt::QueuedConnection);
}

void CArticleEvents::OnOperationDone(const OperationResult& result) {
    QMetaObject::invokeMethod(
        this, [this, result] { emit OperationDone(result); }, Qt::QueuedConnection);
}
