#pragma once

#include "platform/jobs/JobRunner.h"

#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

// What one compaction did.
struct VacuumResult {
    bool ok = false;
    std::string error;
    long long bytesBefore = 0;
    long long bytesAfter = 0;
    int orphansRemoved = 0; // items of channels that no longer exist
};

// The small window of quillmark-vacuum: it rebuilds Storage/rss.db on a worker, waiting up to
// the store's busy timeout for other users of the file, and says when it is done.
class CVacuumWindow : public QDialog {
    Q_OBJECT
public:
    explicit CVacuumWindow(const std::string& storePath, QWidget* parent = nullptr);
    ~CVacuumWindow() override;

    void Start();
    // Runs the compaction of the store file (any thread).
    static VacuumResult Compact(const std::string& storePath);
    static QString ResultText(const VacuumResult& result);

private:
    void Finish(const VacuumResult& result);

    std::string m_storePath;
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_close = nullptr;
    // Last. A compaction is not broken off: closing the window waits for it (its 关闭 button
    // is enabled only once it is done).
    CJobRunner m_jobs{1};
};
