#pragma once

class CJobRunner;

// The runner of jobs that a window starts and that may end a moment after the window has gone
// (a dialog closed while its job is being cancelled): it lives as long as the program's windows,
// so that no window waits on the interface thread for its job. Such a job reports to its window
// through a guard that knows when the window is gone. The application shuts it down (raises its
// token, joins its threads) after its windows are gone; a window that is given a runner of its
// own in its constructor (as the tests do) uses that one instead.
CJobRunner& WindowJobs();
