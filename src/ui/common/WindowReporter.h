#pragma once

#include "app/Reporter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

// The reporter of the windows: catalogue ids and faults in the error dialog, messages in a plain
// box. A report from a worker thread is shown on the interface thread while the worker waits.
class CWindowReporter : public QObject, public CReporter {
    Q_OBJECT
public:
    explicit CWindowReporter(QObject* parent = nullptr);

    // The window the boxes belong to (the main window once it exists).
    void SetOwner(QWidget* owner) { m_owner = owner; }

    void ReportError(int id) override;
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override;
    void ReportMessage(const std::string& text) override;

private:
    QPointer<QWidget> m_owner;
};
