#pragma once

#include "app/AppContext.h"

#include <optional>

class CJobRunner;
class QWidget;

// What the main window lends the dialogs opened from the windows inside it: the runner of jobs
// that may end a moment after their dialog has gone (a dialog closed while its job is being
// cancelled), and the program directory they work in. The main window owns the runner and shuts
// it down after its windows are gone, so that no window waits on the interface thread for its
// job; such a job reports to its window through a guard that knows when the window is gone. A
// dialog is given the runner in its constructor (the tests give one of their own).
struct WindowJobs {
    CJobRunner& jobs;
    CAppContext context;
};

// Lends the runner and the context to every widget inside the window, for the window's life.
void LendWindowJobs(QWidget& window, CJobRunner& jobs, const CAppContext& context);
// What the window the widget lies in was lent (the widget's own, else its nearest parent's);
// nothing outside such a window.
std::optional<WindowJobs> WindowJobsOf(const QWidget* widget);
