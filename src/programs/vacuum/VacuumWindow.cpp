#include "vacuum/VacuumWindow.h"

#include "storage/FeedDatabase.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <filesystem>

namespace {

long long FileBytes(const std::string& path) {
    std::error_code ec;
    long long total = 0;
    for (const char* suffix : {"", "-wal"}) {
        auto size = std::filesystem::file_size(path + suffix, ec);
        if (!ec)
            total += static_cast<long long>(size);
    }
    return total;
}

QString SizeText(long long bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
}

} // namespace

VacuumResult CVacuumWindow::Compact(const std::string& storePath) {
    VacuumResult result;
    result.bytesBefore = FileBytes(storePath);
    CFeedDatabase store(storePath);
    // The store waits up to its busy timeout while the reader writes to the file.
    // Items of channels that no longer exist go first, then the file is rebuilt.
    if (const StoreResult opened = store.OpenStore(); !opened) {
        result.error = opened.reason;
        return result;
    }
    if (const StoreResult compacted = store.CompactStore(&result.orphansRemoved); !compacted) {
        result.error = compacted.reason;
        return result;
    }
    store.CloseStore();
    result.ok = true;
    result.bytesAfter = FileBytes(storePath);
    return result;
}

QString CVacuumWindow::ResultText(const VacuumResult& result) {
    if (!result.ok)
        return QStringLiteral("整理失败: ") + QString::fromStdString(result.error) +
               QStringLiteral("\n请暂停进行的其它数据库操作!");
    return QStringLiteral("整理完成!\n数据库文件: %1 → %2")
        .arg(SizeText(result.bytesBefore), SizeText(result.bytesAfter));
}

CVacuumWindow::CVacuumWindow(const std::string& storePath, QWidget* parent)
    : QDialog(parent), m_storePath(storePath) {
    setWindowTitle(QStringLiteral("压缩数据库"));
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    m_text = new QLabel(QStringLiteral("正在整理RSS数据库，请稍候...\n") +
                        QString::fromStdString(storePath));
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(320);
    m_progress = new QProgressBar;
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_close = new QPushButton(QStringLiteral("关闭"));
    m_close->setEnabled(false);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(icon);
    auto* column = new QVBoxLayout;
    column->addWidget(m_text);
    column->addWidget(m_progress);
    top->addLayout(column, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 14, 12);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

CVacuumWindow::~CVacuumWindow() = default;

void CVacuumWindow::Start() {
    QPointer<CVacuumWindow> self(this);
    m_jobs.Submit([this, self, path = m_storePath](const CCancelToken&) {
        VacuumResult result = Compact(path);
        QMetaObject::invokeMethod(
            this,
            [self, result] {
                if (self)
                    self->Finish(result);
            },
            Qt::QueuedConnection);
    });
}

void CVacuumWindow::Finish(const VacuumResult& result) {
    m_text->setText(ResultText(result));
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    m_progress->setVisible(result.ok);
    m_close->setEnabled(true);
    m_close->setDefault(true);
    m_close->setFocus();
}
