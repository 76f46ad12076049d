#pragma once

#include "workspace/ArticleObserver.h"

#include <QObject>

// The weblog operations' observer on the window side: each call, made on a worker thread, is
// handed to the interface thread and comes out there as a signal.
class CArticleEvents : public QObject, public CArticleObserver {
    Q_OBJECT
public:
    using QObject::QObject;

    void OnProgress(const OperationProgress& progress) override;
    void OnFolderChanged(int operationId, const FolderRef& folder) override;
    void OnAccountPublished(int operationId, const AccountPublishResult& result) override;
    void OnOperationDone(const OperationResult& result) override;

signals:
    void Progress(const OperationProgress& progress);
    void FolderChanged(int operationId, const FolderRef& folder);
    void AccountPublished(int operationId, const AccountPublishResult& result);
    void OperationDone(const OperationResult& result);
};
