#pragma once

#include <QDialog>

class QLabel;

// "传输进度": the small window beside a running weblog operation, with the step it is at.
class CTransferProgress : public QDialog {
    Q_OBJECT
public:
    explicit CTransferProgress(QWidget* parent = nullptr);
    void SetStep(const QString& text);
    QString Step() const;

private:
    QLabel* m_step = nullptr;
};
