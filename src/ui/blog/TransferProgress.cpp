#include "ui/blog/TransferProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

CTransferProgress::CTransferProgress(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("传输进度"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* caption = new QLabel(QStringLiteral("传输进度"));
    m_step = new QLabel;
    m_step->setMinimumWidth(240);
    // No measure of how far a server call has got: the bar only shows that work goes on.
    auto* busy = new QProgressBar;
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(busy);
    layout->addWidget(m_step);
}

void CTransferProgress::SetStep(const QString& text) {
    m_step->setText(text);
}

QString CTransferProgress::Step() const {
    return m_step->text();
}
